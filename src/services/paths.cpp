#include "services/paths.h"

// Placeholder bodies: every routine answers its failure value until the routines are filled in.

int AddBackslash(char*, size_t) { return 0; }
int RemoveBackslash(char*) { return 0; }
int GetDirectoryPart(const char*, char* directory, size_t directorySize) { if (directory && directorySize) *directory = 0; return 0; }
int GetFileNamePart(const char*, char* name, size_t nameSize) { if (name && nameSize) *name = 0; return 0; }
int GetParentPath(const char*, char* parent, size_t parentSize) { if (parent && parentSize) *parent = 0; return 0; }
int JoinPath(char* out, const char*, const char*, size_t outSize) { if (out && outSize) *out = 0; return 0; }
int AppendPath(char*, const char*, size_t) { return 0; }
int GetExtension(const char*, char* extension, size_t extensionSize) { if (extension && extensionSize) *extension = 0; return 0; }
int RemoveExtension(char*) { return 0; }
int ChangeExtension(char*, const char*, size_t) { return 0; }
int GetBaseName(char*, char* name, size_t nameSize) { if (name && nameSize) *name = 0; return 0; }
int TrimBlanks(char*) { return 0; }
const char* NextToken(const char*, char* token, const char*, size_t tokenSize) { if (token && tokenSize) *token = 0; return nullptr; }
int CollapseBackslashes(char*) { return 0; }
int IsDriveRoot(const char*) { return 0; }
int IsRootPath(const char*) { return 0; }
int IsAbsoluteDrivePath(const char*) { return 0; }
int GetDrivePrefix(const char*, char* prefix, int* length, size_t prefixSize) { if (prefix && prefixSize) *prefix = 0; if (length) *length = 0; return 0; }
int SplitUncPath(const char*, char* root, char* rest, size_t rootSize, size_t restSize) { if (root && rootSize) *root = 0; if (rest && restSize) *rest = 0; return 0; }
int FileExists(const char*) { return 0; }
DWORD GetAttributes(const char*) { return 0; }
int SetAttributes(const char*, DWORD) { return 0; }
int QueryAttributes(const char*, DWORD*) { return -1; }
int IsDirectory(const char*) { return 0; }
int RemoveDirectoryPath(const char*) { return 0; }
int IsDirectoryEmpty(const char*) { return 0; }
int CreateSingleDirectory(const char*) { return 1; }
int EnsureDirectory(char*) { return 0; }
int GetShortPath(const char*, char* shortPath, size_t shortPathSize) { if (shortPath && shortPathSize) *shortPath = 0; return 0; }
int SaveCurrentDirectory(char* path, size_t pathSize) { if (path && pathSize) *path = 0; return 0; }
void SetCurrentDirectoryPath(const char*) {}
int GetPathDriveType(const char*, UINT* driveType) { if (driveType) *driveType = DRIVE_UNKNOWN; return 0; }
uint32_t GetFreeBytes(const char*) { return 0; }
uint32_t MultiplySaturated(uint32_t, uint32_t, uint32_t) { return 0; }
size_t TextLength(const char*) { return 0; }
void CopyBytes(void*, const void*, size_t) {}

// File, directory and path routines used by every part of the program that handles file names.
//
// Paths are ANSI texts of at most MAX_PATH (260) characters plus the terminator. Every routine steps
// through a text with CharNextA/CharPrevA, so a trail byte of a double-byte character is never taken
// for a backslash, colon or dot.
//
// Buffers: every routine that writes more than it read is told the size of the caller's buffer
// (in bytes, terminator included) as its last argument(s). Such a routine never writes past it: when
// the result does not fit, it refuses (answers 0, or null for NextToken) and leaves the output empty,
// because a shortened path names a different file. Routines that need a working copy of a path
// refuse paths longer than MAX_PATH characters. Routines that only shorten a text work in place
// without a size.
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

// Size of a buffer that holds any path this program handles: MAX_PATH characters and the terminator.
constexpr size_t PATH_BUFFER_SIZE = MAX_PATH + 1;

// --- Path texts (no file-system access) -------------------------------------------------------

// Appends a backslash unless the text already ends in one; an empty text becomes "\".
// 1, or 0 (text unchanged) when the backslash does not fit into pathSize bytes or path is null.
int AddBackslash(char* path, size_t pathSize);

// Removes a final backslash unless it is the first character or directly follows a colon. Always 1
// (0 for a null path).
int RemoveBackslash(char* path);

// The directory part of a path ("C:\dir\file" -> "C:\dir", "C:\file" -> "C:\", "file" -> "").
// 1, or 0 with an empty directory when it does not fit into directorySize bytes or an argument is null.
int GetDirectoryPart(const char* path, char* directory, size_t directorySize);

// The text after the last backslash or colon, or the whole text if it has neither.
// 1, or 0 with an empty name when it does not fit or an argument is null.
int GetFileNamePart(const char* path, char* name, size_t nameSize);

// The parent of a path ("C:\a\b" -> "C:\a", "C:\a" -> "C:\", "a" -> "").
// 1, or 0 with an empty parent when it does not fit into parentSize bytes or the path is null.
int GetParentPath(const char* path, char* parent, size_t parentSize);

// out = directory, a backslash unless it ends in one, then name. 1, or 0 with out empty when the
// result does not fit into outSize bytes or an argument is null. out may be the directory's own
// buffer, but name must not lie inside out.
int JoinPath(char* out, const char* directory, const char* name, size_t outSize);

// Appends a backslash unless present, then name. 1, or 0 with the path unchanged when the result
// does not fit into pathSize bytes or an argument is null.
int AppendPath(char* path, const char* name, size_t pathSize);

// The extension: the text after the last dot that no backslash follows. 1 if the path has one
// (possibly empty, for a name ending in a dot), else 0. 0 with an empty extension as well when it
// does not fit into extensionSize bytes.
int GetExtension(const char* path, char* extension, size_t extensionSize);

// Cuts the extension and its dot. 1 if there was one, else 0.
int RemoveExtension(char* path);

// RemoveExtension, then a dot unless the new extension begins with one, then the extension.
// 1, or 0 with the path unchanged when the result does not fit into pathSize bytes or an argument is null.
int ChangeExtension(char* path, const char* extension, size_t pathSize);

// Trims blanks from the path in place; name = its file-name part without extension. The result of
// that RemoveExtension (1 if the name had an extension), or 0 with an empty name when the name does
// not fit into nameSize bytes or an argument is null.
int GetBaseName(char* path, char* name, size_t nameSize);

// Removes leading and trailing spaces and tabs. 0 for a null text, else 1.
int TrimBlanks(char* text);

// Copies the token starting at text into token, up to the first single-byte character equal to the
// first character of separator (an empty separator matches nothing). Returns where the rest begins:
// just after the separator, or at the text's terminator. A token that does not fit into tokenSize
// bytes is refused: the token is left empty and the result is null. A null text gives null too, so
// chained calls stay safe.
const char* NextToken(const char* text, char* token, const char* separator, size_t tokenSize);
inline char* NextToken(char* text, char* token, const char* separator, size_t tokenSize)
{
    return const_cast<char*>(NextToken(static_cast<const char*>(text), token, separator, tokenSize));
}

// Collapses runs of backslashes into one, keeping a leading pair (network paths). 1 if the path
// changed, else 0.
int CollapseBackslashes(char* path);

// 1 for any first character followed by a colon and then nothing or a backslash and nothing.
int IsDriveRoot(const char* path);

// 1 for "\" alone, or an ASCII letter followed by ":\" and nothing more.
int IsRootPath(const char* path);

// 1 when the path begins with an ASCII letter, a colon and a backslash (0 for a null path).
int IsAbsoluteDrivePath(const char* path);

// If the second byte is a colon: prefix = the first two bytes, *length = 2; else prefix empty and
// *length = 0. 0 (prefix empty, *length 0) when prefixSize is below 3 or an argument is null, else 1.
int GetDrivePrefix(const char* path, char* prefix, int* length, size_t prefixSize);

// Splits "\\server\share\rest" into root "\\server\share\" and rest "\rest" ("\" when nothing follows
// the share). 1 on success, 0 (both outputs empty) for any other form (an empty server or share
// name included), or when a part does not fit.
int SplitUncPath(const char* path, char* root, char* rest, size_t rootSize, size_t restSize);

// --- File system ------------------------------------------------------------------------------

// 1 if the platform's find-first-file finds an entry for the path (a matching wildcard pattern
// counts), else 0; 0 for a null or empty path. Critical-error boxes are suppressed while it looks.
int FileExists(const char* path);

// The file attributes, or 0 when they cannot be read.
DWORD GetAttributes(const char* path);

// The platform's result (non-zero on success).
int SetAttributes(const char* path, DWORD attributes);

// "C:" is asked as "C:\". 0 with *attributes set, or -1 when they cannot be read.
int QueryAttributes(const char* path, DWORD* attributes);

// Non-zero when the attributes can be read and include FILE_ATTRIBUTE_DIRECTORY, else 0.
int IsDirectory(const char* path);

// The platform's remove-directory result (non-zero on success; the directory must be empty).
int RemoveDirectoryPath(const char* path);

// 1 when the directory holds nothing but subdirectories whose names begin with a dot (or cannot be
// listed), else 0. A path too long to list (over MAX_PATH characters) is refused with 0.
int IsDirectoryEmpty(const char* directory);

// Creates one directory with default security. 0 on success, 1 on failure.
int CreateSingleDirectory(const char* path);

// Makes sure the directory exists, creating missing parents from the outermost inwards. Collapses
// doubled backslashes in the path in place. 1 when the directory exists or was created, else 0.
int EnsureDirectory(char* path);

// The short (8.3) form of the path without a trailing backslash, or the path itself where the
// platform has none. 1, or 0 with an empty output when the path is longer than MAX_PATH, the output
// does not fit into shortPathSize bytes, or an argument is null.
int GetShortPath(const char* path, char* shortPath, size_t shortPathSize);

// The current directory. 1, or 0 with an empty output when it does not fit into pathSize bytes.
int SaveCurrentDirectory(char* path, size_t pathSize);

// Makes the path the current directory; the platform's result is not reported.
void SetCurrentDirectoryPath(const char* path);

// The drive type of the volume holding the path. 1 when it is neither DRIVE_UNKNOWN nor
// DRIVE_NO_ROOT_DIR, else 0.
int GetPathDriveType(const char* path, UINT* driveType);

// Free bytes of the volume that holds the path, saturated at 0xFFFFFFFF. 0xFFFFFFFF for a network
// path whose free space cannot be read, 0 for a drive path whose free space cannot be read.
uint32_t GetFreeBytes(const char* path);

// a * b * c, saturated at 0xFFFFFFFF (a * b itself wraps); 0 when a * b is 0.
uint32_t MultiplySaturated(uint32_t a, uint32_t b, uint32_t c);

// --- Plain helpers of the string lists --------------------------------------------------------

// Length of a text up to its terminator (0 for null).
size_t TextLength(const char* text);

// Copies count bytes from source to destination (nothing for null arguments).
void CopyBytes(void* destination, const void* source, size_t count);

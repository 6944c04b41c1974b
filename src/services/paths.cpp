#include "services/paths.h"

#include <string.h>

namespace {

// --- Character stepping ---------------------------------------------------------------------------
// Backslash, colon, dot, space and tab are ASCII and never lead bytes, so wherever a character starts
// with one of them it is that single-byte character; only character starts are ever compared.

// The start of the next character. A lead byte directly before the terminator is taken alone, so a
// step never passes the terminator whatever the platform answers.
const char* NextChar(const char* p)
{
    if (*p == '\0') {
        return p;
    }
    const char* next = CharNextA(p);
    if (next <= p || (next > p + 1 && p[1] == '\0')) {
        return p + 1;
    }
    return next;
}

char* NextChar(char* p)
{
    return const_cast<char*>(NextChar(static_cast<const char*>(p)));
}

// The start of the last character of text[0..length), or null for an empty text.
const char* LastChar(const char* text, size_t length)
{
    if (length == 0) {
        return nullptr;
    }
    return CharPrevA(text, text + length);
}

bool EndsWithBackslash(const char* text, size_t length)
{
    const char* last = LastChar(text, length);
    return last != nullptr && last == text + length - 1 && *last == '\\';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// True when the first character is single-byte and a colon follows it (C:, and any X: alike).
bool HasColonSecond(const char* path)
{
    return path[0] != '\0' && NextChar(path) == path + 1 && path[1] == ':';
}

// Length of a text that must end inside a buffer of `size` bytes; `size` when it does not.
size_t BoundedLength(const char* text, size_t size)
{
    const void* end = memchr(text, '\0', size);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - text) : size;
}

// Copies `length` bytes and a terminator when they fit into `size` bytes; otherwise leaves the
// output empty (when it has any room at all) and answers false.
bool CopyFitting(char* out, size_t size, const char* text, size_t length)
{
    if (out == nullptr || size == 0) {
        return false;
    }
    if (length + 1 > size) {
        out[0] = '\0';
        return false;
    }
    memmove(out, text, length);
    out[length] = '\0';
    return true;
}

// Empties an output buffer that a refusing routine was given.
int Refuse(char* out, size_t size)
{
    if (out != nullptr && size != 0) {
        out[0] = '\0';
    }
    return 0;
}

// A working copy of a path for the platform, trailing backslash removed. False for a null path or
// one longer than MAX_PATH characters, which the ANSI platform calls cannot take anyway.
bool PlatformCopy(const char* path, char (&copy)[PATH_BUFFER_SIZE])
{
    if (path == nullptr || !CopyFitting(copy, sizeof copy, path, strlen(path))) {
        return false;
    }
    RemoveBackslash(copy);
    return true;
}

// The position of the dot that starts the extension, or null: the last dot after which no backslash
// follows.
const char* FindExtensionDot(const char* path)
{
    const char* dot = nullptr;
    for (const char* p = path; *p != '\0'; p = NextChar(p)) {
        if (*p == '.') {
            dot = p;
        } else if (*p == '\\') {
            dot = nullptr;
        }
    }
    return dot;
}

// The start of the file-name part: just after the last backslash or colon.
const char* FindFileName(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p != '\0'; p = NextChar(p)) {
        if (*p == '\\' || *p == ':') {
            name = p + 1;
        }
    }
    return name;
}

// Writes directory, a backslash unless it already ends in one, and name into out, but only when all
// of it fits: nothing is written otherwise. `out` may be the directory itself.
bool ComposePath(char* out, size_t outSize, const char* directory, const char* name)
{
    size_t directoryLength = strlen(directory);
    size_t nameLength = strlen(name);
    size_t backslash = EndsWithBackslash(directory, directoryLength) ? 0 : 1;
    if (directoryLength + backslash + nameLength + 1 > outSize) {
        return false;
    }
    memmove(out, directory, directoryLength);
    if (backslash) {
        out[directoryLength] = '\\';
    }
    memmove(out + directoryLength + backslash, name, nameLength + 1);
    return true;
}

using GetShortPathNameFunction = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);

// Looked up at each call: the platforms this program runs on do not all export it.
GetShortPathNameFunction FindGetShortPathName()
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (kernel == nullptr) {
        return nullptr;
    }
    FARPROC entry = GetProcAddress(kernel, "GetShortPathNameA");
    return reinterpret_cast<GetShortPathNameFunction>(reinterpret_cast<void (*)()>(entry));
}

}  // namespace

// --- Path texts -----------------------------------------------------------------------------------

int AddBackslash(char* path, size_t pathSize)
{
    if (path == nullptr || pathSize == 0) {
        return 0;
    }
    size_t length = BoundedLength(path, pathSize);
    if (length == pathSize) {
        return 0;
    }
    if (EndsWithBackslash(path, length)) {
        return 1;
    }
    if (length + 2 > pathSize) {
        return 0;
    }
    path[length] = '\\';
    path[length + 1] = '\0';
    return 1;
}

int RemoveBackslash(char* path)
{
    if (path == nullptr) {
        return 0;
    }
    size_t length = strlen(path);
    if (length < 2 || !EndsWithBackslash(path, length)) {
        return 1;
    }
    char* last = path + length - 1;
    const char* before = CharPrevA(path, last);
    if (before == last - 1 && *before == ':') {
        return 1;
    }
    *last = '\0';
    return 1;
}

int GetDirectoryPart(const char* path, char* directory, size_t directorySize)
{
    if (path == nullptr) {
        return Refuse(directory, directorySize);
    }
    int counted = 0;
    bool colonSeen = false;
    bool backslashSeen = false;
    const char* lastSeparator = nullptr;
    for (const char* p = path; *p != '\0'; p = NextChar(p)) {
        if (*p == ':') {
            ++counted;
            colonSeen = true;
            lastSeparator = p;
        } else if (*p == '\\') {
            // The root backslash of C:\... does not separate two names.
            if (backslashSeen || !colonSeen) {
                ++counted;
            }
            backslashSeen = true;
            lastSeparator = p;
        }
    }
    size_t length = 0;
    if (lastSeparator != nullptr) {
        length = static_cast<size_t>(lastSeparator - path) + (counted == 1 ? 1 : 0);
    }
    return CopyFitting(directory, directorySize, path, length) ? 1 : 0;
}

int GetFileNamePart(const char* path, char* name, size_t nameSize)
{
    if (path == nullptr) {
        return Refuse(name, nameSize);
    }
    const char* start = FindFileName(path);
    return CopyFitting(name, nameSize, start, strlen(start)) ? 1 : 0;
}

int GetParentPath(const char* path, char* parent, size_t parentSize)
{
    if (path == nullptr) {
        return Refuse(parent, parentSize);
    }
    size_t length = strlen(path);
    const char* lastBackslash = nullptr;
    const char* lastColon = nullptr;
    for (const char* p = path; *p != '\0'; p = NextChar(p)) {
        if (*p == '\\' && p != path + length - 1) {
            lastBackslash = p;
        } else if (*p == ':') {
            lastColon = p;
        }
    }
    size_t parentLength = 0;
    if (lastBackslash != nullptr) {
        parentLength = static_cast<size_t>(lastBackslash - path);
        // A drive root and the root directory keep their backslash.
        bool driveRoot = parentLength == 2 && HasColonSecond(path);
        if (driveRoot || lastBackslash == path) {
            ++parentLength;
        }
    } else if (lastColon != nullptr) {
        parentLength = lastColon[1] == '\\' ? length : static_cast<size_t>(lastColon - path) + 1;
    } else if (path[0] == '\\') {
        parentLength = length;
    }
    return CopyFitting(parent, parentSize, path, parentLength) ? 1 : 0;
}

int JoinPath(char* out, const char* directory, const char* name, size_t outSize)
{
    if (out == nullptr || directory == nullptr || name == nullptr || outSize == 0) {
        return Refuse(out, outSize);
    }
    return ComposePath(out, outSize, directory, name) ? 1 : Refuse(out, outSize);
}

int AppendPath(char* path, const char* name, size_t pathSize)
{
    if (path == nullptr || name == nullptr || pathSize == 0 || BoundedLength(path, pathSize) == pathSize) {
        return 0;
    }
    return ComposePath(path, pathSize, path, name) ? 1 : 0;
}

int GetExtension(const char* path, char* extension, size_t extensionSize)
{
    if (path == nullptr) {
        return Refuse(extension, extensionSize);
    }
    const char* dot = FindExtensionDot(path);
    if (dot == nullptr) {
        return Refuse(extension, extensionSize);
    }
    return CopyFitting(extension, extensionSize, dot + 1, strlen(dot + 1)) ? 1 : 0;
}

int RemoveExtension(char* path)
{
    if (path == nullptr) {
        return 0;
    }
    char* dot = const_cast<char*>(FindExtensionDot(path));
    if (dot == nullptr) {
        return 0;
    }
    *dot = '\0';
    return 1;
}

int ChangeExtension(char* path, const char* extension, size_t pathSize)
{
    if (path == nullptr || extension == nullptr || pathSize == 0) {
        return 0;
    }
    size_t length = BoundedLength(path, pathSize);
    if (length == pathSize) {
        return 0;
    }
    const char* dot = FindExtensionDot(path);
    size_t baseLength = dot ? static_cast<size_t>(dot - path) : length;
    size_t dotLength = extension[0] == '.' ? 0 : 1;
    size_t extensionLength = strlen(extension);
    if (baseLength + dotLength + extensionLength + 1 > pathSize) {
        return 0;
    }
    if (dotLength) {
        path[baseLength] = '.';
    }
    memmove(path + baseLength + dotLength, extension, extensionLength + 1);
    return 1;
}

int GetBaseName(char* path, char* name, size_t nameSize)
{
    if (path == nullptr || TrimBlanks(path) == 0) {
        return Refuse(name, nameSize);
    }
    const char* start = FindFileName(path);
    const char* dot = FindExtensionDot(start);
    size_t length = dot ? static_cast<size_t>(dot - start) : strlen(start);
    if (!CopyFitting(name, nameSize, start, length)) {
        return 0;
    }
    return dot ? 1 : 0;
}

int TrimBlanks(char* text)
{
    if (text == nullptr) {
        return 0;
    }
    char* start = text;
    while (IsBlank(*start)) {
        ++start;
    }
    char* end = start;
    for (char* p = start; *p != '\0'; p = NextChar(p)) {
        if (!IsBlank(*p)) {
            end = NextChar(p);
        }
    }
    size_t length = static_cast<size_t>(end - start);
    memmove(text, start, length);
    text[length] = '\0';
    return 1;
}

const char* NextToken(const char* text, char* token, const char* separator, size_t tokenSize)
{
    if (text == nullptr || token == nullptr || tokenSize == 0) {
        Refuse(token, tokenSize);
        return nullptr;
    }
    char wanted = separator ? separator[0] : '\0';
    size_t written = 0;
    const char* p = text;
    while (*p != '\0') {
        const char* next = NextChar(p);
        size_t width = static_cast<size_t>(next - p);
        if (width == 1 && wanted != '\0' && *p == wanted) {
            token[written] = '\0';
            return next;
        }
        // A shortened field would name some other key, value or item: refuse the token instead.
        if (written + width + 1 > tokenSize) {
            token[0] = '\0';
            return nullptr;
        }
        memcpy(token + written, p, width);
        written += width;
        p = next;
    }
    token[written] = '\0';
    return p;
}

int CollapseBackslashes(char* path)
{
    if (path == nullptr || path[0] == '\0' || IsDriveRoot(path)) {
        return 0;
    }
    char* read = path;
    if (path[0] == '\\' && path[1] == '\\') {
        read = path + 2;
        if (*read == '\0') {
            return 0;
        }
    }
    char* write = read;
    while (*read != '\0') {
        char* next = NextChar(read);
        bool backslash = *read == '\\';
        size_t width = static_cast<size_t>(next - read);
        memmove(write, read, width);
        write += width;
        read = next;
        if (backslash) {
            while (*read == '\\') {
                ++read;
            }
        }
    }
    *write = '\0';
    // Only backslashes are ever dropped, so the path changed exactly when it got shorter.
    return write != read ? 1 : 0;
}

int IsDriveRoot(const char* path)
{
    if (path == nullptr || !HasColonSecond(path)) {
        return 0;
    }
    return path[2] == '\0' || (path[2] == '\\' && path[3] == '\0') ? 1 : 0;
}

int IsRootPath(const char* path)
{
    if (path == nullptr) {
        return 0;
    }
    if (path[0] == '\\' && path[1] == '\0') {
        return 1;
    }
    return IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\' && path[3] == '\0' ? 1 : 0;
}

int IsAbsoluteDrivePath(const char* path)
{
    if (path == nullptr) {
        return 0;
    }
    return IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\' ? 1 : 0;
}

int GetDrivePrefix(const char* path, char* prefix, int* length, size_t prefixSize)
{
    if (length != nullptr) {
        *length = 0;
    }
    if (path == nullptr || length == nullptr || prefix == nullptr || prefixSize < 3) {
        return Refuse(prefix, prefixSize);
    }
    if (HasColonSecond(path)) {
        CopyFitting(prefix, prefixSize, path, 2);
        *length = 2;
    } else {
        prefix[0] = '\0';
    }
    return 1;
}

int SplitUncPath(const char* path, char* root, char* rest, size_t rootSize, size_t restSize)
{
    Refuse(root, rootSize);
    Refuse(rest, restSize);
    if (path == nullptr || root == nullptr || rest == nullptr || path[0] != '\\' || path[1] != '\\') {
        return 0;
    }
    const char* serverEnd = nullptr;
    const char* shareEnd = nullptr;
    for (const char* p = path + 2; *p != '\0'; p = NextChar(p)) {
        if (*p != '\\') {
            continue;
        }
        if (serverEnd == nullptr) {
            serverEnd = p;
        } else {
            shareEnd = p;
            break;
        }
    }
    // A server or share name must not be empty (\\\share, \\srv\\dir are no network paths).
    if (serverEnd == nullptr || serverEnd == path + 2 || serverEnd[1] == '\0' || serverEnd[1] == '\\') {
        return 0;
    }
    if (shareEnd == nullptr) {
        shareEnd = serverEnd + 1 + strlen(serverEnd + 1);
    }
    size_t rootLength = static_cast<size_t>(shareEnd - path);
    const char* restText = *shareEnd != '\0' ? shareEnd : "\\";
    if (rootLength + 2 > rootSize || !CopyFitting(rest, restSize, restText, strlen(restText))) {
        Refuse(rest, restSize);
        return 0;
    }
    CopyFitting(root, rootSize, path, rootLength);
    AddBackslash(root, rootSize);
    return 1;
}

// --- File system ----------------------------------------------------------------------------------

int FileExists(const char* path)
{
    if (path == nullptr || path[0] == '\0') {
        return 0;
    }
    UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    int exists = search != INVALID_HANDLE_VALUE ? 1 : 0;
    if (exists) {
        FindClose(search);
    }
    SetErrorMode(previousMode);
    return exists;
}

DWORD GetAttributes(const char* path)
{
    char copy[PATH_BUFFER_SIZE];
    if (!PlatformCopy(path, copy)) {
        return 0;
    }
    DWORD attributes = GetFileAttributesA(copy);
    return attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes;
}

int SetAttributes(const char* path, DWORD attributes)
{
    char copy[PATH_BUFFER_SIZE];
    if (!PlatformCopy(path, copy)) {
        return 0;
    }
    return SetFileAttributesA(copy, attributes) ? 1 : 0;
}

int QueryAttributes(const char* path, DWORD* attributes)
{
    char copy[PATH_BUFFER_SIZE];
    if (attributes == nullptr || !PlatformCopy(path, copy)) {
        return -1;
    }
    // "C:" alone means the current directory of drive C; the drive itself is asked as its root.
    if (HasColonSecond(copy) && copy[2] == '\0') {
        AddBackslash(copy, sizeof copy);
    }
    DWORD found = GetFileAttributesA(copy);
    if (found == INVALID_FILE_ATTRIBUTES) {
        return -1;
    }
    *attributes = found;
    return 0;
}

int IsDirectory(const char* path)
{
    DWORD attributes = 0;
    if (QueryAttributes(path, &attributes) != 0) {
        return 0;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int RemoveDirectoryPath(const char* path)
{
    char copy[PATH_BUFFER_SIZE];
    if (!PlatformCopy(path, copy)) {
        return 0;
    }
    return RemoveDirectoryA(copy) ? 1 : 0;
}

int IsDirectoryEmpty(const char* directory)
{
    if (directory == nullptr) {
        return 0;
    }
    char pattern[PATH_BUFFER_SIZE + 4];
    // A directory whose name is too long to list is not claimed to be empty.
    if (!CopyFitting(pattern, sizeof pattern, directory, strlen(directory)) ||
        !AppendPath(pattern, "*.*", sizeof pattern)) {
        return 0;
    }
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return 1;
    }
    int empty = 1;
    do {
        bool dotDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && entry.cFileName[0] == '.';
        if (!dotDirectory) {
            empty = 0;
            break;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return empty;
}

int CreateSingleDirectory(const char* path)
{
    if (path == nullptr) {
        return 1;
    }
    return CreateDirectoryA(path, nullptr) ? 0 : 1;
}

int EnsureDirectory(char* path)
{
    if (path == nullptr) {
        return 0;
    }
    if (path[0] == '\0' || IsDriveRoot(path)) {
        return 1;
    }
    CollapseBackslashes(path);
    char directory[PATH_BUFFER_SIZE];
    if (!PlatformCopy(path, directory)) {
        return 0;
    }
    DWORD attributes = 0;
    if (QueryAttributes(directory, &attributes) == 0) {
        // A file of that name blocks the directory.
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    }
    size_t length = strlen(directory);
    if (directory[length - 1] == ':' && LastChar(directory, length) == directory + length - 1) {
        return 0;
    }
    char parent[PATH_BUFFER_SIZE];
    GetParentPath(directory, parent, sizeof parent);
    // A parent that is no shorter (such as "ab:\") would recurse for ever.
    if (strlen(parent) >= length || EnsureDirectory(parent) != 1) {
        return 0;
    }
    return CreateSingleDirectory(directory) == 0 ? 1 : 0;
}

int GetShortPath(const char* path, char* shortPath, size_t shortPathSize)
{
    char copy[PATH_BUFFER_SIZE];
    if (!PlatformCopy(path, copy)) {
        return Refuse(shortPath, shortPathSize);
    }
    char converted[PATH_BUFFER_SIZE];
    const char* result = copy;
    GetShortPathNameFunction getShortPathName = FindGetShortPathName();
    if (getShortPathName != nullptr) {
        DWORD length = getShortPathName(copy, converted, sizeof converted);
        if (length != 0 && length < sizeof converted) {
            result = converted;
        }
    }
    return CopyFitting(shortPath, shortPathSize, result, strlen(result)) ? 1 : 0;
}

int SaveCurrentDirectory(char* path, size_t pathSize)
{
    char current[PATH_BUFFER_SIZE];
    DWORD length = GetCurrentDirectoryA(sizeof current, current);
    if (length == 0 || length >= sizeof current) {
        return Refuse(path, pathSize);
    }
    return CopyFitting(path, pathSize, current, length) ? 1 : 0;
}

void SetCurrentDirectoryPath(const char* path)
{
    char copy[PATH_BUFFER_SIZE];
    if (PlatformCopy(path, copy)) {
        SetCurrentDirectoryA(copy);
    }
}

int GetPathDriveType(const char* path, UINT* driveType)
{
    if (driveType == nullptr) {
        return 0;
    }
    *driveType = DRIVE_UNKNOWN;
    if (path == nullptr) {
        return 0;
    }
    char root[PATH_BUFFER_SIZE];
    char rest[PATH_BUFFER_SIZE];
    const char* asked = nullptr;  // no root: the current directory's drive
    if (path[0] != '\0' && NextChar(path)[0] == '\0') {
        CopyFitting(root, sizeof root, path, static_cast<size_t>(NextChar(path) - path));
        strcat(root, ":\\");
        asked = root;
    } else if (HasColonSecond(path)) {
        CopyFitting(root, sizeof root, path, 2);
        strcat(root, "\\");
        asked = root;
    } else if (path[0] == '\\' && path[1] == '\\' && SplitUncPath(path, root, rest, sizeof root, sizeof rest)) {
        asked = root;
    }
    *driveType = GetDriveTypeA(asked);
    return *driveType != DRIVE_UNKNOWN && *driveType != DRIVE_NO_ROOT_DIR ? 1 : 0;
}

uint32_t GetFreeBytes(const char* path)
{
    if (path == nullptr || path[0] == '\0') {
        return 0;
    }
    char root[PATH_BUFFER_SIZE];
    char rest[PATH_BUFFER_SIZE];
    bool network = path[0] == '\\' && path[1] == '\\';
    if (network) {
        if (!SplitUncPath(path, root, rest, sizeof root, sizeof rest)) {
            return 0;
        }
    } else {
        const char* end = NextChar(NextChar(path));
        CopyFitting(root, sizeof root, path, static_cast<size_t>(end - path));
        strcat(root, "\\");
    }
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
        return network ? 0xFFFFFFFFu : 0;
    }
    return MultiplySaturated(sectorsPerCluster, bytesPerSector, freeClusters);
}

uint32_t MultiplySaturated(uint32_t a, uint32_t b, uint32_t c)
{
    // The first product saturates too: a wrapped a * b would report a huge volume as nearly full.
    uint64_t wide = static_cast<uint64_t>(a) * b;
    if (wide == 0 || c == 0) {
        return 0;
    }
    if (wide > 0xFFFFFFFFu) {
        return 0xFFFFFFFFu;
    }
    uint32_t product = static_cast<uint32_t>(wide);
    if (0xFFFFFFFFu / product < c) {
        return 0xFFFFFFFFu;
    }
    return product * c;
}

// --- Plain helpers ------------------------------------------------------------------------------

size_t TextLength(const char* text)
{
    return text ? strlen(text) : 0;
}

void CopyBytes(void* destination, const void* source, size_t count)
{
    if (destination != nullptr && source != nullptr && count != 0) {
        memmove(destination, source, count);
    }
}

// The splash window. Its picture is a BMP file kept scrambled among the program's resources; it
// is unscrambled into a temporary file in the Windows directory, loaded from there (with a palette
// of its own on 256-colour screens) and the file is deleted again at once.
#include "app/splash.h"

#include "log/buffered_file.h"
#include "log/log_format.h"
#include "services/paths.h"

#include <string.h>

namespace {

const char SPLASH_CLASS[] = "DeQxAbtClsName";
const char SPLASH_TITLE[] = "DeQxAbtWinName";
const char NO_PICTURE_TEXT[] =
    "Unable to locate/process internal binary resource.  Please contact your software vendor.";
const char NO_PICTURE_CAPTION[] = "Error";

const int FILE_HEADER_SIZE = 14;
const int SPLASH_PALETTE_SIZE = 256;
const int SYSTEM_COLOURS_EACH_END = 10;
const int PICTURE_COLOURS_USED = SPLASH_PALETTE_SIZE - 2 * SYSTEM_COLOURS_EACH_END;  // 236
// Nothing near this size is a splash picture; it keeps the size arithmetic far from overflowing.
const DWORD MAX_PICTURE_FILE = 64u * 1024 * 1024;

HINSTANCE g_instance = nullptr;
HWND g_window = nullptr;
HBITMAP g_bitmap = nullptr;
HPALETTE g_palette = nullptr;

HINSTANCE SplashInstance()
{
    return g_instance ? g_instance : GetModuleHandleA(nullptr);
}

// Size of the colour table the program reads for a bit count, or -1 for a bit count it refuses.
int ColourTableBytes(int bitCount)
{
    switch (bitCount) {
    case 1: return 2 * 4;
    case 4: return 16 * 4;
    case 8: return 256 * 4;
    case 24: return 0;
    default: return -1;
    }
}

// The information header, the colour table and the pixel rows must all lie inside the data, or the
// bitmap would be built from bytes beyond the end of the file.
bool PictureFits(const BITMAPINFOHEADER* info, DWORD dataSize, int tableBytes)
{
    if (info->biSize < sizeof(BITMAPINFOHEADER) || info->biSize > dataSize)
        return false;
    if (info->biWidth <= 0 || info->biHeight == 0 || info->biPlanes != 1)
        return false;
    uint64_t rowBytes = ((static_cast<uint64_t>(info->biWidth) * info->biBitCount + 31) / 32) * 4;
    int64_t height = info->biHeight < 0 ? -static_cast<int64_t>(info->biHeight) : info->biHeight;
    uint64_t needed = static_cast<uint64_t>(info->biSize) + tableBytes + rowBytes * height;
    return needed <= dataSize;
}

// Reads the whole file into a movable block (10 spare zero bytes at the end). 0, -2 or -1.
int ReadWholeFile(const char* path, HGLOBAL* block, DWORD* size)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return DIB_CANNOT_OPEN;
    DWORD fileSize = GetFileSize(file, nullptr);
    if (fileSize == INVALID_FILE_SIZE || fileSize > MAX_PICTURE_FILE) {
        CloseHandle(file);
        return DIB_NO_MEMORY;
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, fileSize + 10);
    if (!memory) {
        CloseHandle(file);
        return DIB_NO_MEMORY;
    }
    void* data = GlobalLock(memory);
    DWORD got = 0;
    BOOL read = data && ReadFile(file, data, fileSize, &got, nullptr);
    CloseHandle(file);
    if (data)
        GlobalUnlock(memory);
    if (!read || got != fileSize) {
        GlobalFree(memory);
        return DIB_NO_MEMORY;
    }
    *block = memory;
    *size = fileSize;
    return DIB_OK;
}

// Builds the bitmap from the BMP data that starts with its information header. 0, -8 or -16.
int MakeBitmapFromDib(unsigned char* data, DWORD dataSize, DibFileResult* result)
{
    if (dataSize < sizeof(BITMAPINFOHEADER))
        return DIB_NOT_BMP;
    BITMAPINFOHEADER* info = reinterpret_cast<BITMAPINFOHEADER*>(data);
    if (info->biCompression != BI_RGB)
        return DIB_COMPRESSED;
    result->width = info->biWidth;
    result->height = info->biHeight;
    result->palette = nullptr;
    int tableBytes = ColourTableBytes(info->biBitCount);
    if (tableBytes < 0 || !PictureFits(info, dataSize, tableBytes))
        return DIB_NOT_BMP;
    const unsigned char* pixels = data + info->biSize + tableBytes;

    HDC screen = GetDC(nullptr);
    HPALETTE previous = nullptr;
    if (GetDeviceCaps(screen, BITSPIXEL) == 8 && info->biBitCount == 8) {
        result->palette = BuildSplashPalette(screen, info);
        if (result->palette) {
            previous = SelectPalette(screen, result->palette, FALSE);
            RealizePalette(screen);
        }
    }
    result->bitmap = CreateDIBitmap(screen, info, CBM_INIT, pixels,
                                    reinterpret_cast<BITMAPINFO*>(info), DIB_RGB_COLORS);
    if (previous)
        SelectPalette(screen, previous, FALSE);
    ReleaseDC(nullptr, screen);
    if (!result->bitmap) {
        if (result->palette)
            DeleteObject(result->palette);
        result->palette = nullptr;
        return DIB_NO_MEMORY;
    }
    return DIB_OK;
}

// The Windows directory with the temporary picture's name. false when it does not fit.
bool TempPicturePath(char* path, size_t size)
{
    UINT length = GetWindowsDirectoryA(path, static_cast<UINT>(size));
    if (length == 0 || length >= size)
        return false;
    return AppendPath(path, SPLASH_TEMP_NAME, size) != 0;
}

bool WriteWholeFile(const char* path, const void* data, DWORD size)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, data, size, &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

// Unscrambles the chosen picture resource into the temporary file. false (and no file) on failure.
bool UnpackPicture(int resourceId, const char* path)
{
    HINSTANCE instance = SplashInstance();
    HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(IDR_SPLASH_TYPE));
    DWORD size = resource ? SizeofResource(instance, resource) : 0;
    if (size == 0)
        return false;
    HGLOBAL loaded = LoadResource(instance, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return false;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + 100);
    unsigned char* block = memory ? static_cast<unsigned char*>(GlobalLock(memory)) : nullptr;
    if (!block) {
        if (memory)
            GlobalFree(memory);
        return false;
    }
    memcpy(block, bytes, size);
    UnscrambleBlock(block, size, SPLASH_KEY);
    bool written = WriteWholeFile(path, block, size);
    GlobalUnlock(memory);
    GlobalFree(memory);
    if (!written)
        FileDelete(path);
    return written;
}

bool RegisterSplashClass(HINSTANCE instance)
{
    WNDCLASSA known;
    if (GetClassInfoA(instance, SPLASH_CLASS, &known))
        return true;  // the class stays registered after an earlier splash
    WNDCLASSA splashClass = {};
    splashClass.style = CS_HREDRAW | CS_VREDRAW;
    splashClass.lpfnWndProc = SplashWndProc;
    splashClass.hInstance = instance;
    splashClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SPLASH));
    splashClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    splashClass.lpszClassName = SPLASH_CLASS;
    return RegisterClassA(&splashClass) != 0;
}

void ReleasePicture()
{
    if (g_bitmap)
        DeleteObject(g_bitmap);
    if (g_palette)
        DeleteObject(g_palette);
    g_bitmap = nullptr;
    g_palette = nullptr;
}

LRESULT RealiseSplashPalette(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!g_palette)
        return DefWindowProcA(window, message, wParam, lParam);
    HDC dc = GetDC(window);
    HPALETTE previous = SelectPalette(dc, g_palette, FALSE);
    UINT changed = RealizePalette(dc);
    SelectPalette(dc, previous, FALSE);
    ReleaseDC(window, dc);
    if (changed != 0 && changed != GDI_ERROR) {
        dc = GetDC(window);
        PaintSplash(dc);
        ReleaseDC(window, dc);
    }
    return 0;
}

} // namespace

int IsLowColourDisplay(void)
{
    HDC screen = GetDC(nullptr);
    int colourBits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    return colourBits < 5 ? 1 : 0;
}

HPALETTE BuildSplashPalette(HDC screen, const BITMAPINFOHEADER* info)
{
    struct
    {
        WORD version;
        WORD count;
        PALETTEENTRY entries[SPLASH_PALETTE_SIZE];
    } palette = {};
    palette.version = 0x300;
    palette.count = SPLASH_PALETTE_SIZE;
    GetSystemPaletteEntries(screen, 0, SYSTEM_COLOURS_EACH_END, palette.entries);
    GetSystemPaletteEntries(screen, SPLASH_PALETTE_SIZE - SYSTEM_COLOURS_EACH_END, SYSTEM_COLOURS_EACH_END,
                            palette.entries + SPLASH_PALETTE_SIZE - SYSTEM_COLOURS_EACH_END);
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const unsigned char*>(info) +
                                                            info->biSize);
    for (int i = 0; i < PICTURE_COLOURS_USED; ++i) {
        PALETTEENTRY& entry = palette.entries[SYSTEM_COLOURS_EACH_END + i];
        entry.peRed = table[i].rgbRed;
        entry.peGreen = table[i].rgbGreen;
        entry.peBlue = table[i].rgbBlue;
        entry.peFlags = PC_NOCOLLAPSE;
    }
    return CreatePalette(reinterpret_cast<LOGPALETTE*>(&palette));
}

int LoadDibFile(const char* path, DibFileResult* result)
{
    if (!path || !result)
        return DIB_CANNOT_OPEN;
    HGLOBAL memory = nullptr;
    DWORD size = 0;
    int status = ReadWholeFile(path, &memory, &size);
    if (status != DIB_OK)
        return status;
    unsigned char* data = static_cast<unsigned char*>(GlobalLock(memory));
    if (!data) {
        GlobalFree(memory);
        return DIB_NO_MEMORY;
    }
    if (size < FILE_HEADER_SIZE || data[0] != 'B' || data[1] != 'M') {
        status = DIB_NOT_BMP;
    } else {
        memmove(data, data + FILE_HEADER_SIZE, size - FILE_HEADER_SIZE);
        status = MakeBitmapFromDib(data, size - FILE_HEADER_SIZE, result);
    }
    GlobalUnlock(memory);
    GlobalFree(memory);
    return status;
}

HBITMAP LoadSplashBitmap(HPALETTE* palette)
{
    if (palette)
        *palette = nullptr;
    int resourceId = IsLowColourDisplay() ? IDR_SPLASH_LOW : IDR_SPLASH_DEEP;
    char path[PATH_BUFFER_SIZE];
    if (!TempPicturePath(path, sizeof path) || !UnpackPicture(resourceId, path))
        return nullptr;
    DibFileResult picture = {};
    int status = LoadDibFile(path, &picture);
    FileDelete(path);
    if (status != DIB_OK)
        return nullptr;
    if (palette)
        *palette = picture.palette;
    else if (picture.palette)
        DeleteObject(picture.palette);
    return picture.bitmap;
}

int ShowSplash(HINSTANCE instance)
{
    g_instance = instance;
    g_palette = nullptr;
    g_bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_SPLASH_PREFERRED));
    if (!g_bitmap)
        g_bitmap = LoadSplashBitmap(&g_palette);
    if (!g_bitmap) {
        MessageBoxA(nullptr, NO_PICTURE_TEXT, NO_PICTURE_CAPTION, MB_OK | MB_ICONERROR);
        return 0;
    }
    if (!RegisterSplashClass(instance)) {
        ReleasePicture();
        return 0;
    }
    BITMAP size = {};
    GetObjectA(g_bitmap, sizeof size, &size);
    int width = size.bmWidth + 2;
    int height = size.bmHeight + 2;
    int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    g_window = CreateWindowExA(0, SPLASH_CLASS, SPLASH_TITLE, WS_POPUP | WS_BORDER, left, top, width, height,
                               nullptr, nullptr, instance, nullptr);
    if (!g_window) {
        ReleasePicture();
        return 0;
    }
    SetWindowPos(g_window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(g_window, SW_SHOWNORMAL);
    UpdateWindow(g_window);
    return 1;
}

int CloseSplash(void)
{
    if (g_window) {
        ShowWindow(g_window, SW_HIDE);
        DestroyWindow(g_window);
        g_window = nullptr;
    }
    ReleasePicture();
    return 0;
}

int PaintSplash(HDC dc)
{
    if (!g_bitmap)
        return 0;
    HPALETTE previousPalette = nullptr;
    if (g_palette) {
        previousPalette = SelectPalette(dc, g_palette, FALSE);
        RealizePalette(dc);
    }
    BITMAP size = {};
    GetObjectA(g_bitmap, sizeof size, &size);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, g_bitmap);
    BitBlt(dc, 0, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    if (previousPalette)
        SelectPalette(dc, previousPalette, FALSE);
    return 1;
}

LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        PaintSplash(dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wParam) == window)
            return 0;
        return RealiseSplashPalette(window, message, wParam, lParam);
    case WM_QUERYNEWPALETTE:
        return RealiseSplashPalette(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND GetSplashWindow(void)
{
    return g_window;
}

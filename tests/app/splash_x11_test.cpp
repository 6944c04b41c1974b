// The splash window and its picture, on a real display with 24 bits per pixel.
#include "app/splash.h"

#include "log/log_format.h"
#include "support/window_driver.h"
#include "support/window_pixels.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

const char NO_PICTURE_TEXT[] =
    "Unable to locate/process internal binary resource.  Please contact your software vendor.";

std::string WindowsDirectoryFile(const char* name)
{
    char directory[MAX_PATH + 1] = "";
    GetWindowsDirectoryA(directory, sizeof directory);
    std::string path = directory;
    if (path.empty() || path.back() != '\\')
        path += '\\';
    return path + name;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// The picture resource with the splash key taken off: a complete BMP file.
Bytes UnscrambledPicture(int id)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(IDR_SPLASH_TYPE));
    if (!resource)
        return Bytes();
    DWORD size = SizeofResource(instance, resource);
    const unsigned char* data = static_cast<const unsigned char*>(LockResource(LoadResource(instance, resource)));
    Bytes bytes(data, data + size);
    UnscrambleBlock(bytes.data(), bytes.size(), SPLASH_KEY);
    return bytes;
}

uint32_t U32(const Bytes& b, size_t at) { uint32_t v; memcpy(&v, &b[at], 4); return v; }
uint16_t U16(const Bytes& b, size_t at) { uint16_t v; memcpy(&v, &b[at], 2); return v; }
int32_t I32(const Bytes& b, size_t at) { return static_cast<int32_t>(U32(b, at)); }

// Decodes a bottom-up BMP file with 4, 8 or 24 bits per pixel into colour values, top row first.
WindowPixels DecodeBmp(const Bytes& file)
{
    WindowPixels picture;
    picture.width = I32(file, 18);
    picture.height = I32(file, 22);
    int bits = U16(file, 28);
    size_t table = 14 + U32(file, 14);
    size_t pixels = U32(file, 10);
    size_t stride = ((static_cast<size_t>(picture.width) * bits + 31) / 32) * 4;
    for (int y = 0; y < picture.height; ++y) {
        const unsigned char* row = &file[pixels + (picture.height - 1 - y) * stride];
        for (int x = 0; x < picture.width; ++x) {
            if (bits == 24) {
                picture.pixels.push_back(RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]));
                continue;
            }
            int index = bits == 8 ? row[x] : (x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4);
            const unsigned char* entry = &file[table + index * 4];
            picture.pixels.push_back(RGB(entry[2], entry[1], entry[0]));
        }
    }
    return picture;
}

// A small BMP file of the given bit count with a grey-ramp colour table; pixel (0, 0) (the top
// left) has colour index 1, every other pixel index 0.
Bytes MakeBmp(int bits, int width, int height, DWORD compression = BI_RGB)
{
    int tableEntries = bits <= 8 ? (1 << bits) : 0;
    size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    size_t offset = 14 + 40 + tableEntries * 4;
    Bytes file(offset + stride * height, 0);
    file[0] = 'B';
    file[1] = 'M';
    uint32_t size = static_cast<uint32_t>(file.size());
    memcpy(&file[2], &size, 4);
    uint32_t offset32 = static_cast<uint32_t>(offset);
    memcpy(&file[10], &offset32, 4);
    BITMAPINFOHEADER info = {};
    info.biSize = 40;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = static_cast<WORD>(bits);
    info.biCompression = compression;
    memcpy(&file[14], &info, sizeof info);
    for (int i = 0; i < tableEntries; ++i) {
        unsigned char grey = static_cast<unsigned char>(i * 255 / (tableEntries - 1));
        file[54 + i * 4] = grey;
        file[54 + i * 4 + 1] = grey;
        file[54 + i * 4 + 2] = static_cast<unsigned char>(255 - grey);
    }
    unsigned char* topRow = &file[offset + stride * (height - 1)];
    if (bits == 1)
        topRow[0] = 0x80;
    else if (bits == 4)
        topRow[0] = 0x10;
    else if (bits == 8)
        topRow[0] = 1;
    else if (bits == 24)
        topRow[0] = topRow[1] = topRow[2] = 0xFF;
    return file;
}

class SplashTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char directory[MAX_PATH] = "";
        GetTempPathA(sizeof directory, directory);
        path_ = std::string(directory) + "splash_x11_test_picture.bmp";
    }
    void TearDown() override
    {
        CloseSplash();
        DeleteFileA(path_.c_str());
    }

    std::string path_;
};

TEST_F(SplashTest, PicturesUnscrambleIntoCompleteBmpFiles)
{
    struct PictureCase
    {
        int id;
        int bits;
    };
    const PictureCase cases[] = {{IDR_SPLASH_DEEP, 8}, {IDR_SPLASH_LOW, 4}};
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.id);
        Bytes file = UnscrambledPicture(c.id);
        ASSERT_GT(file.size(), 54u);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(U32(file, 2), file.size());
        EXPECT_EQ(U16(file, 28), c.bits);
        EXPECT_EQ(U32(file, 30), static_cast<uint32_t>(BI_RGB));
    }
}

TEST_F(SplashTest, TwentyFourBitScreenIsNotLowColour)
{
    EXPECT_EQ(IsLowColourDisplay(), 0);
}

TEST_F(SplashTest, WindowIsCentredTwoPixelsLargerAndShowsTheDeepPicture)
{
    ASSERT_EQ(ShowSplash(GetModuleHandleA(nullptr)), 1);
    HWND window = GetSplashWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(FindWindowA("DeQxAbtClsName", "DeQxAbtWinName"), window);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & (WS_POPUP | WS_BORDER | WS_CAPTION),
              static_cast<DWORD>(WS_POPUP | WS_BORDER));
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(GetClassLongPtrA(window, GCLP_HICON), 0u);

    WindowPixels picture = DecodeBmp(UnscrambledPicture(IDR_SPLASH_DEEP));
    RECT bounds;
    GetWindowRect(window, &bounds);
    EXPECT_EQ(bounds.right - bounds.left, picture.width + 2);
    EXPECT_EQ(bounds.bottom - bounds.top, picture.height + 2);
    EXPECT_EQ(bounds.left, (GetSystemMetrics(SM_CXSCREEN) - picture.width - 2) / 2);
    EXPECT_EQ(bounds.top, (GetSystemMetrics(SM_CYSCREEN) - picture.height - 2) / 2);

    // Painted before ShowSplash returned, without any message being handled.
    WindowPixels shown = CaptureClient(window);
    ASSERT_EQ(shown.width, picture.width);
    ASSERT_EQ(shown.height, picture.height);
    int mismatches = 0;
    for (size_t i = 0; i < shown.pixels.size(); ++i)
        mismatches += shown.pixels[i] != picture.pixels[i];
    EXPECT_EQ(mismatches, 0);

    EXPECT_EQ(CloseSplash(), 0);
    EXPECT_EQ(GetSplashWindow(), nullptr);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(SplashTest, CanBeShownAgainAfterClosing)
{
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(ShowSplash(GetModuleHandleA(nullptr)), 1);
        EXPECT_EQ(CloseSplash(), 0);
    }
    EXPECT_EQ(CloseSplash(), 0);  // nothing left to close
}

TEST_F(SplashTest, MissingPictureShowsTheErrorBox)
{
    BoxAnswerer box("Error", IDOK);
    // kernel32 has neither bitmap 7500 nor the scrambled pictures.
    EXPECT_EQ(ShowSplash(GetModuleHandleA("kernel32.dll")), 0);
    ASSERT_TRUE(box.Finish());
    EXPECT_EQ(box.text(), NO_PICTURE_TEXT);
    EXPECT_TRUE(box.hadIcon());
    EXPECT_EQ(GetSplashWindow(), nullptr);
}

TEST_F(SplashTest, TemporaryPictureFileNeverStays)
{
    std::string temporary = WindowsDirectoryFile(SPLASH_TEMP_NAME);
    ASSERT_EQ(ShowSplash(GetModuleHandleA(nullptr)), 1);
    EXPECT_FALSE(FileExists(temporary));
    CloseSplash();

    // A stale file of that name is replaced by the picture and removed with it. (The pictures
    // come from the module the last splash was shown for.)
    ASSERT_TRUE(WriteFileBytes(temporary, Bytes(3000, 0x5A)));
    HPALETTE palette = reinterpret_cast<HPALETTE>(1);
    HBITMAP bitmap = LoadSplashBitmap(&palette);
    EXPECT_NE(bitmap, nullptr);
    EXPECT_EQ(palette, nullptr);  // no palette on a 24-bit screen
    EXPECT_FALSE(FileExists(temporary));
    DeleteObject(bitmap);

    // Written, then refused by LoadDibFile: removed all the same.
    HMODULE broken = LoadLibraryA("broken_splash.dll");
    ASSERT_NE(broken, nullptr);
    {
        BoxAnswerer box("Error", IDOK);
        EXPECT_EQ(ShowSplash(broken), 0);
        EXPECT_TRUE(box.Finish());
    }
    EXPECT_FALSE(FileExists(temporary));
    FreeLibrary(broken);
}

struct DibCase
{
    const char* name;
    Bytes file;
    int expected;
};

Bytes Truncated(Bytes file, size_t drop)
{
    file.resize(file.size() - drop);
    return file;
}

Bytes WithSignature(Bytes file, const char* signature)
{
    file[0] = signature[0];
    file[1] = signature[1];
    return file;
}

TEST_F(SplashTest, LoadDibFileAnswersItsCodes)
{
    const DibCase cases[] = {
        {"1 bit", MakeBmp(1, 13, 5), DIB_OK},
        {"4 bits", MakeBmp(4, 13, 5), DIB_OK},
        {"8 bits", MakeBmp(8, 13, 5), DIB_OK},
        {"24 bits", MakeBmp(24, 13, 5), DIB_OK},
        {"16 bits", MakeBmp(16, 13, 5), DIB_NOT_BMP},
        {"32 bits", MakeBmp(32, 13, 5), DIB_NOT_BMP},
        {"run-length compressed", MakeBmp(8, 13, 5, BI_RLE8), DIB_COMPRESSED},
        {"not a BMP file", WithSignature(MakeBmp(8, 13, 5), "PK"), DIB_NOT_BMP},
        {"signature only", Bytes{'B', 'M'}, DIB_NOT_BMP},
        {"empty file", Bytes(), DIB_NOT_BMP},
        {"pixel rows cut short", Truncated(MakeBmp(24, 13, 5), 20), DIB_NOT_BMP},
        {"colour table cut short", Truncated(MakeBmp(8, 13, 5), 5 * 16 + 100), DIB_NOT_BMP},
    };
    for (const DibCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteFileBytes(path_, c.file));
        DibFileResult result = {};
        EXPECT_EQ(LoadDibFile(path_.c_str(), &result), c.expected);
        if (c.expected == DIB_OK) {
            EXPECT_EQ(result.width, 13);
            EXPECT_EQ(result.height, 5);
            EXPECT_NE(result.bitmap, nullptr);
            EXPECT_EQ(result.palette, nullptr);
            BITMAP info = {};
            GetObjectA(result.bitmap, sizeof info, &info);
            EXPECT_EQ(info.bmWidth, 13);
            EXPECT_EQ(info.bmHeight, 5);
            DeleteObject(result.bitmap);
        }
    }
}

TEST_F(SplashTest, LoadDibFileKeepsThePicturesColours)
{
    ASSERT_TRUE(WriteFileBytes(path_, MakeBmp(4, 7, 3)));
    DibFileResult result = {};
    ASSERT_EQ(LoadDibFile(path_.c_str(), &result), DIB_OK);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(memory, result.bitmap);
    // Index 1 of the grey ramp: blue 17, green 17, red 238; index 0: red 255.
    EXPECT_EQ(ColourText(GetPixel(memory, 0, 0)), ColourText(RGB(238, 17, 17)));
    EXPECT_EQ(ColourText(GetPixel(memory, 1, 0)), ColourText(RGB(255, 0, 0)));
    EXPECT_EQ(ColourText(GetPixel(memory, 6, 2)), ColourText(RGB(255, 0, 0)));
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(result.bitmap);
}

TEST_F(SplashTest, LoadDibFileCannotOpen)
{
    DibFileResult result = {};
    EXPECT_EQ(LoadDibFile((path_ + ".missing").c_str(), &result), DIB_CANNOT_OPEN);

    ASSERT_TRUE(WriteFileBytes(path_, MakeBmp(8, 4, 4)));
    HANDLE locked = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LoadDibFile(path_.c_str(), &result), DIB_CANNOT_OPEN);
    CloseHandle(locked);
}

TEST_F(SplashTest, PaletteTakesPictureColoursBetweenTheSystemColours)
{
    Bytes file = MakeBmp(8, 4, 4);
    const BITMAPINFOHEADER* info = reinterpret_cast<const BITMAPINFOHEADER*>(&file[14]);
    HDC screen = GetDC(nullptr);
    HPALETTE palette = BuildSplashPalette(screen, info);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(palette, nullptr);
    PALETTEENTRY entries[256] = {};
    ASSERT_EQ(GetPaletteEntries(palette, 0, 256, entries), 256u);
    for (int i = 0; i < 236; ++i) {
        SCOPED_TRACE(i);
        const unsigned char* table = &file[54 + i * 4];
        EXPECT_EQ(entries[10 + i].peBlue, table[0]);
        EXPECT_EQ(entries[10 + i].peGreen, table[1]);
        EXPECT_EQ(entries[10 + i].peRed, table[2]);
        EXPECT_EQ(entries[10 + i].peFlags, PC_NOCOLLAPSE);
    }
    for (int i : {0, 9, 246, 255})
        EXPECT_NE(entries[i].peFlags, PC_NOCOLLAPSE) << i;
    DeleteObject(palette);
}

} // namespace

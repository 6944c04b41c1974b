// The progress dialog. Its picture, check marks and bar are bitmaps prepared once at
// initialisation to their final size and colours, so painting is plain copying at the positions
// of hidden placeholder controls.
#include "ui/progress_dialog.h"

#include "app/platform.h"
#include "ui/control_frames.h"

namespace {

const size_t PROGRESS_POOL_SIZE = 1000;
const int HEADING_CHARS = 200;  // 199 characters and a terminator
const int NAME_CHARS = sizeof(static_cast<ProgressWindow*>(nullptr)->displayName);

const COLORREF PICTURE_FIELD = RGB(0, 128, 128);  // fill around the picture, and its key colour
const COLORREF TICK_KEY = RGB(192, 192, 192);
const COLORREF CELL_COLOUR = RGB(0, 0, 128);
const COLORREF WHITE = RGB(255, 255, 255);
const int DEFAULT_CELL_WIDTH = 5;

// Only one progress dialog exists at a time; painting and release go through this record.
ProgressWindow* g_active = nullptr;

bool UseThreeDimensionalLook()
{
    return Get3dControlsLibrary() != nullptr || gPlatform.windows95 || gPlatform.explorerShell;
}

// Copies at most capacity - 1 bytes of whole characters, so a double-byte character is never cut.
void CopyWholeCharacters(char* target, int capacity, const char* source)
{
    int used = 0;
    const char* p = source;
    while (*p) {
        const char* next = CharNextA(p);
        int length = static_cast<int>(next - p);
        if (length <= 0 || used + length > capacity - 1)
            break;
        for (int i = 0; i < length; ++i)
            target[used++] = p[i];
        p = next;
    }
    target[used] = '\0';
}

// Number of bytes of the longest run of whole characters of text that fits in limit bytes.
int WholeCharacterPrefix(const char* text, int limit)
{
    int length = 0;
    for (const char* p = text; *p;) {
        const char* next = CharNextA(p);
        int step = static_cast<int>(next - p);
        if (step <= 0 || length + step > limit)
            break;
        length += step;
        p = next;
    }
    return length;
}

struct TextBuilder
{
    char* text;
    int capacity;
    int used;
};

void Append(TextBuilder& builder, const char* part, int length)
{
    for (int i = 0; i < length && builder.used < builder.capacity - 1; ++i)
        builder.text[builder.used++] = part[i];
    builder.text[builder.used] = '\0';
}

// Length of the sentence without its "%s" and with "%%" counted as one character.
int FormatLengthWithoutName(const char* format)
{
    int length = 0;
    for (const char* p = format; *p;) {
        if (p[0] == '%' && (p[1] == 's' || p[1] == '%')) {
            length += p[1] == '%' ? 1 : 0;
            p += 2;
            continue;
        }
        const char* next = CharNextA(p);
        length += static_cast<int>(next - p);
        p = next;
    }
    return length;
}

// Puts the name where the sentence has "%s" and turns "%%" into "%". The name is inserted as text
// (a "%" in it stays a "%"). When the whole would not fit, the name is shortened and ends in "...",
// so the sentence itself stays complete.
void FormatHeading(const char* format, const char* name, char* out, int capacity)
{
    static const char ELLIPSIS[] = "...";
    int room = capacity - 1 - FormatLengthWithoutName(format);
    int nameLength = lstrlenA(name);
    bool shorten = nameLength > room;
    if (shorten)
        nameLength = WholeCharacterPrefix(name, room - 3 > 0 ? room - 3 : 0);

    TextBuilder builder = {out, capacity, 0};
    out[0] = '\0';
    bool nameUsed = false;
    for (const char* p = format; *p;) {
        if (p[0] == '%' && p[1] == '%') {
            Append(builder, "%", 1);
            p += 2;
        } else if (p[0] == '%' && p[1] == 's') {
            if (!nameUsed) {
                Append(builder, name, nameLength);
                if (shorten)
                    Append(builder, ELLIPSIS, 3);
            }
            nameUsed = true;
            p += 2;
        } else {
            const char* next = CharNextA(p);
            Append(builder, p, static_cast<int>(next - p));
            p = next;
        }
    }
}

// The placeholder's rectangle in dialog client coordinates; empty when the dialog has no such
// control. The placeholder is hidden each time so it never paints over our drawing.
RECT GetPlaceholderRect(HWND dialog, int controlId)
{
    RECT result = {0, 0, 0, 0};
    HWND control = GetDlgItem(dialog, controlId);
    if (!control)
        return result;
    ShowWindow(control, SW_HIDE);
    RECT bounds;
    GetWindowRect(control, &bounds);
    POINT corner = {bounds.left, bounds.top};
    ScreenToClient(dialog, &corner);
    result.left = corner.x;
    result.top = corner.y;
    result.right = corner.x + (bounds.right - bounds.left);
    result.bottom = corner.y + (bounds.bottom - bounds.top);
    return result;
}

void CentreOnScreen(HWND window)
{
    RECT bounds;
    GetWindowRect(window, &bounds);
    int left = (GetSystemMetrics(SM_CXSCREEN) - (bounds.right - bounds.left)) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - (bounds.bottom - bounds.top)) / 2;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
}

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    SIZE size = {info.bmWidth, info.bmHeight};
    return size;
}

void CopyBitmapTo(HDC target, int x, int y, HBITMAP bitmap)
{
    if (!bitmap)
        return;
    SIZE size = BitmapSize(bitmap);
    HDC source = CreateCompatibleDC(target);
    HGDIOBJ previous = SelectObject(source, bitmap);
    BitBlt(target, x, y, size.cx, size.cy, source, 0, 0, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
}

// A bitmap of the placeholder's client size in the fill colour with the source composited in its
// middle (key-coloured pixels of the source show the fill). The source is deleted; null when the
// source or the placeholder is missing.
HBITMAP PreparePlaceholderBitmap(HWND dialog, HBITMAP source, COLORREF fill, COLORREF key,
                                 int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    if (!source || !control) {
        if (source)
            DeleteObject(source);
        return nullptr;
    }
    RECT client;
    GetClientRect(control, &client);
    SIZE sourceSize = BitmapSize(source);

    HDC dialogDc = GetDC(dialog);
    HBITMAP prepared = CreateCompatibleBitmap(dialogDc, client.right, client.bottom);
    HDC preparedDc = CreateCompatibleDC(dialogDc);
    ReleaseDC(dialog, dialogDc);
    if (!prepared || !preparedDc) {
        if (prepared)
            DeleteObject(prepared);
        if (preparedDc)
            DeleteDC(preparedDc);
        DeleteObject(source);
        return nullptr;
    }
    HGDIOBJ previous = SelectObject(preparedDc, prepared);
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(preparedDc, &client, brush);
    DeleteObject(brush);

    // The composite takes its background from where it will be copied to. (Taken from the top-left
    // corner instead, a source larger than the placeholder, as with some dialog fonts, would get
    // pixels from beyond the bitmap wherever its key colour shows.)
    int left = (client.right - sourceSize.cx) / 2;
    int top = (client.bottom - sourceSize.cy) / 2;
    RECT place = {left, top, left + sourceSize.cx, top + sourceSize.cy};
    HBITMAP background = nullptr;
    HBITMAP composite = MakeTransparentBitmap(preparedDc, &place, source, key, &background);
    CopyBitmapTo(preparedDc, left, top, composite);
    SelectObject(preparedDc, previous);
    DeleteDC(preparedDc);

    DeleteObject(source);
    if (composite)
        DeleteObject(composite);
    if (background)
        DeleteObject(background);
    return prepared;
}

// The frame goes into the prepared picture itself, so painting stays a single copy.
void FramePicture(HWND dialog, HBITMAP picture)
{
    if (!picture)
        return;
    SIZE size = BitmapSize(picture);
    HDC dialogDc = GetDC(dialog);
    HDC pictureDc = CreateCompatibleDC(dialogDc);
    ReleaseDC(dialog, dialogDc);
    HGDIOBJ previous = SelectObject(pictureDc, picture);
    RECT frame = {0, 0, size.cx, size.cy - 2};
    DrawSunkenFrame(pictureDc, &frame);
    SelectObject(pictureDc, previous);
    DeleteDC(pictureDc);
}

void MeasureBar(ProgressWindow* progress)
{
    RECT bar = GetPlaceholderRect(progress->window, IDC_PROGRESS_BAR);
    InflateRect(&bar, -2, -2);
    int cellWidth = bar.bottom - bar.top - 1;
    if (cellWidth <= 0)
        cellWidth = DEFAULT_CELL_WIDTH;
    int width = bar.right - bar.left;
    progress->cellWidth = cellWidth;
    progress->cellCount = width > 0 ? width / cellWidth : 0;
}

void WriteHeading(ProgressWindow* progress)
{
    HWND heading = GetDlgItem(progress->window, IDC_PROGRESS_HEADING);
    if (!heading)
        return;
    char text[HEADING_CHARS];
    GetWindowTextA(heading, text, sizeof text);
    const char* format = text + lstrlenA(text);
    for (const char* p = text; *p; p = CharNextA(p)) {
        if (*p == ')') {
            format = p + 1;
            break;
        }
    }
    char sentence[HEADING_CHARS];
    FormatHeading(format, progress->displayName, sentence, sizeof sentence);
    SetWindowTextA(heading, sentence);
}

void InitialiseDialog(HWND dialog, ProgressWindow* progress)
{
    g_active = progress;
    progress->window = dialog;
    FrameSeparators(dialog, UseThreeDimensionalLook() ? 1 : 0);
    HBITMAP picture = LoadBitmapA(progress->instance, MAKEINTRESOURCEA(IDB_PROGRESS_PICTURE));
    HBITMAP tick = LoadBitmapA(progress->instance, MAKEINTRESOURCEA(IDB_PROGRESS_TICK));
    progress->tickBitmap = PreparePlaceholderBitmap(dialog, tick, GetSysColor(COLOR_BTNFACE), TICK_KEY,
                                                    IDC_PROGRESS_FIRST_MARK);
    progress->pictureBitmap = PreparePlaceholderBitmap(dialog, picture, PICTURE_FIELD, PICTURE_FIELD,
                                                       IDC_PROGRESS_PICTURE);
    FramePicture(dialog, progress->pictureBitmap);
    MeasureBar(progress);
    WriteHeading(progress);
    CentreOnScreen(dialog);
}

int FilledCells(const ProgressWindow* progress)
{
    // 64 bits: a log may count more records than a 32-bit product of steps and cells can hold.
    return static_cast<int>(static_cast<int64_t>(progress->current) * progress->cellCount /
                            progress->total);
}

void DrawProgressBar(ProgressWindow* progress, HDC dc)
{
    if (progress->total <= 0 || !GetDlgItem(progress->window, IDC_PROGRESS_BAR))
        return;
    int filled = FilledCells(progress);
    RECT bar = GetPlaceholderRect(progress->window, IDC_PROGRESS_BAR);
    InflateRect(&bar, -2, -2);
    DrawSunkenFrame(dc, &bar);
    InflateRect(&bar, -2, -2);

    int saved = SaveDC(dc);
    HBRUSH brush = CreateSolidBrush(CELL_COLOUR);
    SelectObject(dc, brush);
    SelectObject(dc, GetStockObject(NULL_PEN));
    for (int i = 0; i < filled; ++i) {
        int x = bar.left + i * progress->cellWidth;
        Rectangle(dc, x, bar.top, x + progress->cellWidth - 1, bar.bottom + 1);
    }
    RestoreDC(dc, saved);
    DeleteObject(brush);
}

void DrawCheckMark(ProgressWindow* progress, HDC dc, int mark)
{
    if (!progress->tickBitmap || !progress->ticked[mark])
        return;
    HWND placeholder = GetDlgItem(progress->window, IDC_PROGRESS_FIRST_MARK + mark);
    if (!placeholder)
        return;
    RECT place = GetPlaceholderRect(progress->window, IDC_PROGRESS_FIRST_MARK + mark);
    CopyBitmapTo(dc, place.left, place.top, progress->tickBitmap);
}

void DrawPicture(ProgressWindow* progress, HDC dc)
{
    if (!GetDlgItem(progress->window, IDC_PROGRESS_PICTURE))
        return;
    RECT place = GetPlaceholderRect(progress->window, IDC_PROGRESS_PICTURE);
    CopyBitmapTo(dc, place.left, place.top, progress->pictureBitmap);
}

void PaintDialog(HWND dialog)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    if (g_active) {
        for (int mark = 0; mark < PROGRESS_MARK_COUNT; ++mark)
            DrawCheckMark(g_active, dc, mark);
        DrawProgressBar(g_active, dc);
        DrawPicture(g_active, dc);
    }
    EndPaint(dialog, &paint);
}

void ReleaseActiveRecord()
{
    if (g_active) {
        if (g_active->pictureBitmap)
            DeleteObject(g_active->pictureBitmap);
        if (g_active->tickBitmap)
            DeleteObject(g_active->tickBitmap);
        PoolDestroy(g_active->pool);
    }
    g_active = nullptr;
}

// Only OK ends the program, and only once it is enabled: a command 1 that reaches the dialog while
// the run is still going (sent by another program, say) must not end the run half done.
INT_PTR HandleCommand(HWND dialog, WPARAM wParam)
{
    HWND ok = GetDlgItem(dialog, IDC_PROGRESS_OK);
    if (wParam == IDC_PROGRESS_OK && ok && IsWindowEnabled(ok)) {
        PostQuitMessage(0);
        return 0;
    }
    return 1;
}

void RepaintBarArea(ProgressWindow* progress)
{
    RECT bar = GetPlaceholderRect(progress->window, IDC_PROGRESS_BAR);
    InvalidateRect(progress->window, &bar, TRUE);
    UpdateWindow(progress->window);
}

void SetMessageText(ProgressWindow* progress, const char* text)
{
    HWND line = GetDlgItem(progress->window, IDC_PROGRESS_MESSAGE);
    if (line)
        SetWindowTextA(line, text ? text : "");
}

void TickMark(ProgressWindow* progress, INT_PTR mark)
{
    if (mark < 0 || mark >= PROGRESS_MARK_COUNT)
        return;
    progress->ticked[mark] = 1;
    HDC dc = GetDC(progress->window);
    DrawCheckMark(progress, dc, static_cast<int>(mark));
    ReleaseDC(progress->window, dc);
}

void SetTotal(ProgressWindow* progress, INT_PTR value)
{
    progress->total = static_cast<int32_t>(value);
    if (progress->current > progress->total)
        progress->current = progress->total > 0 ? progress->total : 0;
}

} // namespace

void DrawSunkenFrame(HDC dc, const RECT* rect)
{
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    COLORREF highlight = GetSysColor(COLOR_BTNFACE) == WHITE ? shadow : WHITE;
    HPEN shadowPen = CreatePen(PS_SOLID, 1, shadow);
    HPEN highlightPen = CreatePen(PS_SOLID, 1, highlight);
    int saved = SaveDC(dc);
    SelectObject(dc, shadowPen);
    MoveToEx(dc, rect->left, rect->bottom, nullptr);
    LineTo(dc, rect->left, rect->top);
    LineTo(dc, rect->right, rect->top);
    SelectObject(dc, highlightPen);
    MoveToEx(dc, rect->left + 1, rect->bottom + 1, nullptr);
    LineTo(dc, rect->right - 1, rect->bottom + 1);
    LineTo(dc, rect->right - 1, rect->top);
    RestoreDC(dc, saved);
    DeleteObject(shadowPen);
    DeleteObject(highlightPen);
}

HBITMAP MakeTransparentBitmap(HDC target, const RECT* rect, HBITMAP source, COLORREF key,
                              HBITMAP* background)
{
    *background = nullptr;
    int width = rect->right - rect->left;
    int height = rect->bottom - rect->top;
    int saved = SaveDC(target);

    HBITMAP copy = CreateCompatibleBitmap(target, width, height);
    HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
    HBITMAP result = CreateCompatibleBitmap(target, width, height);
    HBITMAP inverse = CreateCompatibleBitmap(target, width, height);
    HDC copyDc = CreateCompatibleDC(target);
    HDC maskDc = CreateCompatibleDC(target);
    HDC resultDc = CreateCompatibleDC(target);
    HDC inverseDc = CreateCompatibleDC(target);
    HDC sourceDc = CreateCompatibleDC(target);
    bool ready = copy && mask && result && inverse && copyDc && maskDc && resultDc && inverseDc && sourceDc;

    if (ready) {
        HGDIOBJ oldCopy = SelectObject(copyDc, copy);
        HGDIOBJ oldMask = SelectObject(maskDc, mask);
        HGDIOBJ oldResult = SelectObject(resultDc, result);
        HGDIOBJ oldInverse = SelectObject(inverseDc, inverse);
        HGDIOBJ oldSource = SelectObject(sourceDc, source);

        BitBlt(copyDc, 0, 0, width, height, target, rect->left, rect->top, SRCCOPY);
        // Colour to monochrome: pixels equal to the background colour become 1, all others 0.
        SetBkColor(sourceDc, key);
        BitBlt(maskDc, 0, 0, width, height, sourceDc, 0, 0, SRCCOPY);
        // Monochrome to colour: 1 becomes the background colour, 0 the text colour.
        SetBkColor(resultDc, WHITE);
        SetTextColor(resultDc, RGB(0, 0, 0));
        SetBkColor(inverseDc, WHITE);
        SetTextColor(inverseDc, RGB(0, 0, 0));
        BitBlt(resultDc, 0, 0, width, height, maskDc, 0, 0, SRCCOPY);
        BitBlt(inverseDc, 0, 0, width, height, maskDc, 0, 0, NOTSRCCOPY);
        BitBlt(inverseDc, 0, 0, width, height, sourceDc, 0, 0, SRCAND);
        BitBlt(resultDc, 0, 0, width, height, copyDc, 0, 0, SRCAND);
        BitBlt(resultDc, 0, 0, width, height, inverseDc, 0, 0, SRCPAINT);

        SelectObject(copyDc, oldCopy);
        SelectObject(maskDc, oldMask);
        SelectObject(resultDc, oldResult);
        SelectObject(inverseDc, oldInverse);
        SelectObject(sourceDc, oldSource);
    }
    HDC contexts[] = {copyDc, maskDc, resultDc, inverseDc, sourceDc};
    for (HDC dc : contexts)
        if (dc)
            DeleteDC(dc);
    if (mask)
        DeleteObject(mask);
    if (inverse)
        DeleteObject(inverse);
    RestoreDC(target, saved);

    if (!ready) {
        if (copy)
            DeleteObject(copy);
        if (result)
            DeleteObject(result);
        return nullptr;
    }
    *background = copy;
    return result;
}

ProgressWindow* ProgressCreate(HINSTANCE instance, const char* displayName)
{
    MemoryPool pool = PoolCreate(PROGRESS_POOL_SIZE, POOL_STANDARD);
    if (pool == POOL_NONE)
        return nullptr;
    ProgressWindow* progress = static_cast<ProgressWindow*>(PoolAlloc(pool, sizeof(ProgressWindow)));
    if (!progress) {
        PoolDestroy(pool);
        return nullptr;
    }
    progress->pool = pool;
    progress->instance = instance;
    CopyWholeCharacters(progress->displayName, NAME_CHARS, displayName ? displayName : "");
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDialogProc,
                                     reinterpret_cast<LPARAM>(progress));
    if (!dialog) {
        // Initialisation may have run before creation failed; release what it prepared.
        if (g_active == progress)
            ReleaseActiveRecord();
        else
            PoolDestroy(pool);
        return nullptr;
    }
    return progress;
}

int ProgressDestroy(ProgressWindow* progress)
{
    if (!progress)
        return -1;
    if (IsWindow(progress->window))
        DestroyWindow(progress->window);
    return 0;
}

HWND ProgressGetWindow(ProgressWindow* progress)
{
    return progress ? progress->window : nullptr;
}

int ProgressSet(ProgressWindow* progress, int kind, INT_PTR value)
{
    if (!progress)
        return 0;
    switch (kind) {
    case PROGRESS_TOTAL:
        SetTotal(progress, value);
        break;
    case PROGRESS_MESSAGE:
        SetMessageText(progress, reinterpret_cast<const char*>(value));
        break;
    case PROGRESS_TICK:
        TickMark(progress, value);
        break;
    default:
        break;
    }
    return 0;
}

int ProgressStep(ProgressWindow* progress)
{
    if (!progress)
        return -1;
    if (progress->total <= 0)
        return 0;
    int before = FilledCells(progress);
    if (progress->current < progress->total)
        ++progress->current;
    if (FilledCells(progress) != before) {
        HDC dc = GetDC(progress->window);
        DrawProgressBar(progress, dc);
        ReleaseDC(progress->window, dc);
    }
    return 0;
}

int ProgressShow(ProgressWindow* progress)
{
    if (!progress)
        return -1;
    RepaintBarArea(progress);
    return 0;
}

int ProgressFinish(ProgressWindow* progress)
{
    if (!progress)
        return -1;
    RepaintBarArea(progress);
    HWND ok = GetDlgItem(progress->window, IDC_PROGRESS_OK);
    if (ok) {
        EnableWindow(ok, TRUE);
        SendMessageA(progress->window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok), TRUE);
    }
    if (IsWindowVisible(progress->window))
        MessageBeep(MB_OK);
    return 0;
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        if (lParam)
            InitialiseDialog(dialog, reinterpret_cast<ProgressWindow*>(lParam));
        return 0;
    case WM_PAINT:
        PaintDialog(dialog);
        return 0;
    case WM_COMMAND:
        return HandleCommand(dialog, wParam);
    case WM_DESTROY:
        ReleaseActiveRecord();
        return 0;
    default:
        return 0;
    }
}

// The modeless progress dialog the user watches while the uninstall runs: picture, heading
// sentence, six check marks, a cell progress bar, a message line and an OK button that stays
// disabled until the run is over. The dialog paints its own drawing at the positions of hidden
// placeholder controls of dialog template 1001.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "core/pool.h"

enum
{
    PROGRESS_TOTAL = 1,   // value: the total number of steps (an integer)
    PROGRESS_MESSAGE = 2, // value: the text of the message line (a const char*)
    PROGRESS_TICK = 3     // value: the index 0..5 of the check mark to draw
};

enum { PROGRESS_MARK_COUNT = 6 };

// Control identifiers of dialog template 1001.
enum
{
    IDC_PROGRESS_OK = 1,
    IDC_PROGRESS_HEADING = 700,
    IDC_PROGRESS_MESSAGE = 701,
    IDC_PROGRESS_BAR = 711,
    IDC_PROGRESS_PICTURE = 712,
    IDC_PROGRESS_FIRST_MARK = 721,
    IDC_PROGRESS_SEPARATOR = 1300
};

enum
{
    IDD_PROGRESS = 1001,
    IDB_PROGRESS_PICTURE = 701,
    IDB_PROGRESS_TICK = 702
};

struct ProgressWindow
{
    MemoryPool pool;                       // the pool that holds this record
    HINSTANCE instance;                    // where dialog 1001 and bitmaps 701, 702 come from
    HBITMAP pictureBitmap;                 // prepared picture, null until initialised
    HBITMAP tickBitmap;                    // prepared check mark, null until initialised
    int32_t ticked[PROGRESS_MARK_COUNT];   // 1 once mark i has been ticked
    int32_t total;                         // total number of steps
    int32_t current;                       // steps done, never above total
    int32_t cellCount;                     // number of bar cells
    int32_t cellWidth;                     // width of one bar cell in pixels
    char displayName[100];                 // application display name
    HWND window;                           // the dialog window
};

// Creates the hidden dialog; null when the pool, the record or the dialog cannot be made.
ProgressWindow* ProgressCreate(HINSTANCE instance, const char* displayName);
// Destroys the dialog, which releases its bitmaps and the record's pool. -1 for null, else 0.
int ProgressDestroy(ProgressWindow* progress);
HWND ProgressGetWindow(ProgressWindow* progress);
// kind PROGRESS_TOTAL / PROGRESS_MESSAGE / PROGRESS_TICK; value an integer or a text pointer. Always 0.
int ProgressSet(ProgressWindow* progress, int kind, INT_PTR value);
int ProgressStep(ProgressWindow* progress);
int ProgressShow(ProgressWindow* progress);
int ProgressFinish(ProgressWindow* progress);

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Drawing helpers of the dialog, also usable on any device context.
//
// Sunken frame: a shadow line up the left and along the top of the rectangle, a highlight line
// along the bottom (one row below it) and up the right (white, or the shadow colour when the
// button face is itself white).
void DrawSunkenFrame(HDC dc, const RECT* rect);
// Composites 'source' over the target's pixels inside 'rect': where the source has exactly the key
// colour the target shows through. Returns the composite (the rectangle's size, compatible with
// the target) and hands back the copy of the target's pixels in *background; the caller deletes
// both. Null when a bitmap cannot be made (then *background is null too).
HBITMAP MakeTransparentBitmap(HDC target, const RECT* rect, HBITMAP source, COLORREF key,
                              HBITMAP* background);

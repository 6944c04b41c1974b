#include "ui/progress_dialog.h"

ProgressWindow* ProgressCreate(HINSTANCE, const char*) { return nullptr; }
int ProgressDestroy(ProgressWindow*) { return -1; }
HWND ProgressGetWindow(ProgressWindow*) { return nullptr; }
int ProgressSet(ProgressWindow*, int, INT_PTR) { return 0; }
int ProgressStep(ProgressWindow*) { return -1; }
int ProgressShow(ProgressWindow*) { return -1; }
int ProgressFinish(ProgressWindow*) { return -1; }
INT_PTR CALLBACK ProgressDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

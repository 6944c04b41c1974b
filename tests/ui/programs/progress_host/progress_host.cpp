// Shows the progress dialog and drives it like an uninstall run: one step whenever the message
// queue is empty, a check mark after each marked phase, the final message at the end.
//
//     progress_host [steps [stop-after]]
//
// With stop-after, stepping stops after that many steps and the dialog stays as it is (a running
// uninstall); otherwise the run finishes and the dialog waits for OK. Closing ends the program.
#include "app/platform.h"
#include "ui/progress_dialog.h"

#include <stdlib.h>

namespace {

const char FINAL_MESSAGE[] = "Uninstall successfully completed.";

struct Run
{
    int steps;
    int stopAfter;
    int done;
};

void StepOnce(ProgressWindow* progress, Run& run)
{
    ProgressStep(progress);
    ++run.done;
    // Six marks spread over the run, as the phases that own them end.
    int markEvery = run.steps / 6 > 0 ? run.steps / 6 : 1;
    if (run.done % markEvery == 0 && run.done / markEvery <= PROGRESS_MARK_COUNT)
        ProgressSet(progress, PROGRESS_TICK, run.done / markEvery - 1);
    if (run.done == run.steps) {
        ProgressFinish(progress);
        ProgressSet(progress, PROGRESS_MESSAGE, reinterpret_cast<INT_PTR>(FINAL_MESSAGE));
    }
    Sleep(20);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    Run run = {120, -1, 0};
    if (__argc > 1)
        run.steps = atoi(__argv[1]) > 0 ? atoi(__argv[1]) : run.steps;
    if (__argc > 2)
        run.stopAfter = atoi(__argv[2]);
    gPlatform.windows95 = 1;

    ProgressWindow* progress = ProgressCreate(instance, "Sample Application 2.1");
    if (!progress)
        return 1;
    HWND dialog = ProgressGetWindow(progress);
    ProgressSet(progress, PROGRESS_MESSAGE, reinterpret_cast<INT_PTR>(""));
    ProgressSet(progress, PROGRESS_TOTAL, run.steps);
    ShowWindow(dialog, SW_SHOWNORMAL);
    UpdateWindow(dialog);
    ProgressShow(progress);

    MSG message;
    for (;;) {
        bool runnable = run.done < run.steps && run.done != run.stopAfter;
        if (runnable && !PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            StepOnce(progress, run);
            continue;
        }
        if (!runnable && GetMessageA(&message, nullptr, 0, 0) <= 0)
            break;
        if (message.message == WM_QUIT)
            break;
        if (!IsDialogMessageA(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    ProgressDestroy(progress);
    return 0;
}

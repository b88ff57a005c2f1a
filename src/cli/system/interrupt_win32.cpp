#include <windows.h>

#include "cli/system/interrupt.h"

namespace {

// Set on the console's own thread, read by the transfer loop.
volatile LONG Interrupted = 0;

BOOL WINAPI NoteInterrupt(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    InterlockedExchange(&Interrupted, 1);
    return TRUE;
}

}  // namespace

void CatchInterrupt() { SetConsoleCtrlHandler(NoteInterrupt, TRUE); }

bool WasInterrupted() { return InterlockedCompareExchange(&Interrupted, 0, 0) != 0; }

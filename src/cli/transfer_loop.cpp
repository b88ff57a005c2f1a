#include "cli/transfer_loop.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include "cli/interrupt.h"
#include "transfer/transfer.h"

// About a millisecond: a block takes tens of them on the line, and polling
// without pause would keep a processor busy for nothing.
void WaitForLine() {
#ifdef _WIN32
    Sleep(1);
#else
    timespec pause = {0, 1000000};
    nanosleep(&pause, nullptr);
#endif
}

int PumpTransfer() {
    while (TransferJob.phase != PhaseIdle) {
        if (WasInterrupted()) {
            StopTransfer();
            return PumpInterrupted;
        }
        int phase = TransferJob.phase;
        StepTransfer(unsigned(phase));
        // A step that left the phase as it was found its operation pending.
        if (TransferJob.phase == phase) WaitForLine();
    }
    return PumpEnded;
}

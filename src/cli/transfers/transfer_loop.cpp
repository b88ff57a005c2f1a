#include "cli/transfers/transfer_loop.h"

#include "cli/system/interrupt.h"
#include "serial/serial_channel.h"
#include "transfer/transfer.h"

PumpOutcome PumpTransfer() {
    while (TransferJob.phase != PhaseIdle) {
        if (WasInterrupted()) {
            StopTransfer();
            return PumpInterrupted;
        }
        StepTransfer(unsigned(TransferJob.phase));
        // Polling without pause would keep a processor busy for nothing: a
        // block takes tens of milliseconds on the line. Ctrl-C ends the wait
        // (a signal) or waits out one bounded slice of it.
        if (StepFoundPending()) WaitForChannel(ChannelWaitLimitMs, WakeForLine);
    }
    return PumpEnded;
}

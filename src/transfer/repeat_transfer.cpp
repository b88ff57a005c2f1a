#include "serial/port_open.h"
#include "transfer/start.h"
#include "transfer/transfer.h"

// Kept apart from the start itself, so that the start does not pull in the
// port handling wherever it is linked.
void RepeatTransfer() {
    TransferJob.repeatPending = 1;
    if (ReopenPort() == PortReady) StartTransfer();
    // Cleared after every attempt, so the next action command shows the
    // dialog again even when the port could not be reopened.
    TransferJob.repeatPending = 0;
}

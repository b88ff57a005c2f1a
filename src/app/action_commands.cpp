#include "app/action_commands.h"

#include "operator/operator.h"
#include "serial/port_open.h"
#include "transfer/start.h"
#include "transfer/transfer.h"

void RunActionCommand(int action) {
    TransferJob.action = action;
    // ReopenPort has already told the operator when no port could be opened.
    if (ReopenPort() != PortReady) return;
    StartTransfer();
    // The repeat item stays enabled from now on, whatever the start's outcome.
    EnableRepeatItem();
}

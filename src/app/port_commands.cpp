#include "app/port_commands.h"

#include "serial/port_choice.h"
#include "serial/port_open.h"
#include "transfer/transfer.h"

namespace {

// The probe and the newly opened port use the records and IoBuffer that a
// running transfer polls; left running, the transfer would take the probe's
// reply, or the next port's bytes, for its own.
void StopRunningTransfer() {
    if (TransferJob.phase != PhaseIdle) StopTransfer();
}

}  // namespace

void RunPortAuto() {
    StopRunningTransfer();
    ChoosePortAuto();
}

void RunPortChoice(int index) {
    // An id past the last port is not a port item: nothing happens at all.
    if (!IsListedPort(index)) return;
    StopRunningTransfer();
    ChoosePort(index);
}

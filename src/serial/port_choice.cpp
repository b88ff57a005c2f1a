// The port menu's choices: "&Auto" searches the table for the controller,
// a port item opens that port. The mark follows the port in use.
#include "serial/port_choice.h"

#include "operator/operator.h"
#include "serial/port_open.h"
#include "serial/serial_channel.h"

void ChoosePortAuto() {
    if (IsChannelOpen()) {
        CloseChannel();
        SetPortMark(currentPort, false);
    }
    if (DetectDevice() == NoDeviceFound) ShowDeviceNotFound();
}

void ChoosePort(int index) {
    // Only listed ports have menu items; any other id is not ours.
    if (!IsListedPort(index)) return;
    if (IsChannelOpen()) CloseChannel();
    SetPortMark(currentPort, false);
    currentPort = index;
    if (OpenPort(OpenReportingFailure) == PortOpened) SetPortMark(index, true);
}

// Which port is in use: opening it by its index in the port table, probing the
// table for the controller, and the two commands of the port menu.
#include "serial/port_open.h"

#include "app/screen.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"
#include "transfer/protocol.h"
#include "transfer/transfer.h"

int currentPort = 0;

const char DeviceNotFoundText[] =
    "Nie znalazłem Dm730 !\nPodłącz urządzenie, przygotuj do transmisji\ni spróbuj ponownie.";
const char DeviceNotFoundCaption[] = "Mamy problem :";

static const char OpenFailedText[] = "Błąd otwarcia portu !";
static const char ConfigureFailedText[] = "Błąd konfiguracji portu !";

// The menu holds "&Auto" at position 0, so port i sits at i + 1.
static int MenuPosition(int index) { return index + 1; }

static bool IsListedPort(int index) {
    if (PortTable == nullptr || index < 0) return false;
    for (int i = 0; i <= index; ++i)
        if (PortTable[i][0] == '\0') return false;
    return true;
}

void ShowDeviceNotFound() {
    ShowMessageBox(DeviceNotFoundText, DeviceNotFoundCaption, BoxOk | BoxIconWarning);
}

int OpenPort(int quiet) {
    if (!IsListedPort(currentPort) || OpenChannel(PortTable[currentPort]) != 0) {
        if (!quiet) ShowMessageBox(OpenFailedText, CaptionWarning, BoxOk | BoxIconWarning);
        return -2;
    }
    if (ConfigureChannel() != 0) {
        if (!quiet) ShowMessageBox(ConfigureFailedText, CaptionWarning, BoxOk | BoxIconWarning);
        CloseChannel();
        return -2;
    }
    return 0;
}

// The probe's read, polled until it ends. Nothing else runs meanwhile (no
// window message is handled until the probe returns), so between polls the
// thread sleeps on the line instead of spinning.
static int AwaitProbeReply(unsigned long* count) {
    for (;;) {
        int outcome = Poll(ReadRecord, count);
        if (outcome != PollPending) return outcome;
        WaitForChannel(ChannelWaitLimitMs, WakeForLine);
    }
}

// Sends the identification request on the open port and waits for the reply.
static bool ProbeOpenPort() {
    PurgeChannel();
    if (SendPriorityByte(ByteEsc) != 0) return false;
    StartRead(6);
    unsigned long count = 0;
    int outcome = AwaitProbeReply(&count);
    if (outcome != PollDone) {
        CloseChannel();
        return false;
    }
    return IsChannelOpen() && count == 6 && IoBuffer.frameArea[5] == ByteAck;
}

int DetectDevice() {
    for (int i = 0; IsListedPort(i); ++i) {
        currentPort = i;
        if (OpenPort(1) != 0) continue;
        if (ProbeOpenPort()) {
            SetPortMark(MenuPosition(i), true);
            return 1;
        }
        if (IsChannelOpen()) CloseChannel();
    }
    return 0;
}

int ReopenPort() {
    if (IsChannelOpen()) CloseChannel();
    if (OpenPort(0) == 0) return 1;
    SetPortMark(MenuPosition(currentPort), false);
    if (DetectDevice() == 1) return 1;
    ShowDeviceNotFound();
    return 0;
}

void ChoosePortAuto() {
    if (IsChannelOpen()) {
        CloseChannel();
        SetPortMark(MenuPosition(currentPort), false);
    }
    if (DetectDevice() == 0) ShowDeviceNotFound();
}

void ChoosePort(int index) {
    // Only listed ports have menu items; any other id is not ours.
    if (!IsListedPort(index)) return;
    if (IsChannelOpen()) CloseChannel();
    SetPortMark(MenuPosition(currentPort), false);
    currentPort = index;
    if (OpenPort(0) == 0) SetPortMark(MenuPosition(index), true);
}

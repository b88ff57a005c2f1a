// Which port is in use: opening it by its index in the port table, probing the
// table for the controller, reopening it for a transfer.
#include "serial/port_open.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "operator/operator.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"

int currentPort = 0;

const char DeviceNotFoundText[] =
    "Nie znalazłem Dm730 !\nPodłącz urządzenie, przygotuj do transmisji\ni spróbuj ponownie.";
const char DeviceNotFoundCaption[] = "Mamy problem :";

namespace {

const char OpenFailedText[] = "Błąd otwarcia portu !";
const char ConfigureFailedText[] = "Błąd konfiguracji portu !";

}  // namespace

bool IsListedPort(int index) { return ListedPortName(index) != nullptr; }

void ShowDeviceNotFound() {
    ReportFailure(KindOnlyFailure(FailureNoDevice), DeviceNotFoundText, DeviceNotFoundCaption,
                  BoxOk | BoxIconWarning);
}

PortOpenOutcome OpenPort(OpenManner manner) {
    bool report = manner != OpenQuietly;
    PortOpenOutcome opened =
        IsListedPort(currentPort) ? OpenChannel(ListedPortName(currentPort)) : PortMissing;
    if (opened != PortOpened) {
        if (report)
            ReportFailure(KindOnlyFailure(FailurePort, PortOpenSystemError()), OpenFailedText,
                          CaptionWarning, BoxOk | BoxIconWarning);
        return opened;
    }
    PortOpenOutcome configured = ConfigureChannel();
    if (configured != PortOpened) {
        if (report)
            ReportFailure(KindOnlyFailure(FailurePort, PortOpenSystemError()), ConfigureFailedText,
                          CaptionWarning, BoxOk | BoxIconWarning);
        CloseChannel();
        return configured;
    }
    return PortOpened;
}

namespace {

// By port index, what the latest detection met there.
std::vector<PortAttempt> Attempts;
StopRequest DetectionStop = nullptr;

bool IsDetectionStopped() { return DetectionStop != nullptr && DetectionStop(); }

// The port's timeouts end a silent probe after 720 ms. A driver that ignores
// them would hold the program here for ever, before its window works or on
// "&Auto": past this bound the port counts as silent.
const std::chrono::milliseconds ProbeLimit(1000);

// Polls the probe's read until it ends or the bound is reached; a read cut
// off by the bound fails like a read the port gave up. Nothing else runs
// meanwhile (no window message is handled until the probe returns), so between
// polls the thread sleeps on the line instead of spinning.
PollOutcome AwaitProbeReply(unsigned long* count) {
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + ProbeLimit;
    PollOutcome outcome;
    while ((outcome = Poll(ReadRecord, count)) == PollPending) {
        if (std::chrono::steady_clock::now() >= deadline || IsDetectionStopped()) return PollFailed;
        WaitForChannel(ChannelWaitLimitMs, WakeForLine);
    }
    return outcome;
}

LineErrorCounts FaultsBetween(const LineErrorCounts& before, const LineErrorCounts& after) {
    return LineErrorCounts{after.framing - before.framing, after.parity - before.parity,
                           after.overrun - before.overrun, after.breaks - before.breaks};
}

// Sends the identification request on the open port and waits for the reply;
// what came, and what the driver counted meanwhile, go into *attempt so a
// front end can say why a port did not answer.
bool ProbeOpenPort(PortAttempt* attempt) {
    PurgeChannel();
    LineErrorCounts before = {};
    bool counted = ReadLineErrorCounts(&before);
    if (SendPriorityByte(ByteEsc) != ChannelDone) return false;
    StartRead(IdentReplySize);
    unsigned long count = 0;
    PollOutcome outcome = AwaitProbeReply(&count);
    LineErrorCounts after = {};
    if (counted && ReadLineErrorCounts(&after)) {
        attempt->faultsCounted = true;
        attempt->faults = FaultsBetween(before, after);
    }
    // The close also cancels a read cut off by the bound.
    if (outcome != PollDone) {
        CloseChannel();
        return false;
    }
    attempt->replyCount = count < IdentReplySize ? count : IdentReplySize;
    memcpy(attempt->reply, IoBuffer.frameArea, attempt->replyCount);
    return IsChannelOpen() && count == IdentReplySize &&
           IoBuffer.frameArea[IdentReplySize - 1] == ByteAck;
}

}  // namespace

PortAttempt DetectionAttempt(int index) {
    return index >= 0 && size_t(index) < Attempts.size() ? Attempts[size_t(index)]
                                                         : PortAttempt{PortMissing, 0};
}

void StopDetectionWhen(StopRequest stopRequested) { DetectionStop = stopRequested; }

DetectOutcome DetectDevice() {
    Attempts.clear();
    for (int i = 0; IsListedPort(i) && !IsDetectionStopped(); ++i) {
        currentPort = i;
        PortOpenOutcome opened = OpenPort(OpenQuietly);
        Attempts.push_back(PortAttempt{opened, opened == PortOpened ? 0 : PortOpenSystemError()});
        if (opened != PortOpened) continue;
        if (ProbeOpenPort(&Attempts.back())) {
            SetPortMark(i, true);
            return DeviceFound;
        }
        if (IsChannelOpen()) CloseChannel();
    }
    return NoDeviceFound;
}

ReopenOutcome ReopenPort() {
    if (IsChannelOpen()) CloseChannel();
    if (OpenPort(OpenReportingFailure) == PortOpened) return PortReady;
    SetPortMark(currentPort, false);
    if (DetectDevice() == DeviceFound) return PortReady;
    ShowDeviceNotFound();
    return NoPortReady;
}

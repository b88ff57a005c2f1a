// The serial channel over a Win32 COM handle with two overlapped records.
// Completion is polled; between polls a caller may sleep on the records'
// event, bounded, and poll again.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "protocol/io_buffer.h"
#include "serial/line_watch.h"
#include "serial/port_names.h"
#include "serial/serial_channel.h"

namespace {

struct SerialChannelRecord {
    HANDLE port;  // NULL when no port is open
    OVERLAPPED records[2];
    // A start that failed at once; kept so the next poll reports it instead
    // of finding the record as the last operation left it.
    DWORD startError[2];
    DWORD readRequested;
    bool readWatched;  // its end was told to the line's watcher
    // ClearCommError hands out the faults since its last call and forgets
    // them; every call adds them here, for the life of the process, so that
    // only differences mean anything (as with Linux's counts).
    LineErrorCounts faults;
};

}  // namespace

SerialChannelRecord SerialChannel = {NULL, {}, {0, 0}, 0, false, {}};

// The one device-control record: zero at process start, filled from the line
// description alone.
DCB PortControl;

namespace {

const char LineDescription[] = "baud=38400 parity=N data=8 stop=1";

}  // namespace

void CreateChannelEvents() {
    SerialChannel.records[WriteRecord].hEvent = CreateEventA(NULL, FALSE, FALSE, "Test");
    SerialChannel.records[ReadRecord].hEvent = CreateEventA(NULL, FALSE, FALSE, "Test");
}

void CloseChannelEvents() {
    for (OVERLAPPED& record : SerialChannel.records) {
        if (record.hEvent != NULL) CloseHandle(record.hEvent);
        record.hEvent = NULL;
    }
}

namespace {

// The system's code behind the latest open or configuration that failed.
DWORD portOpenError = 0;

}  // namespace

unsigned long PortOpenSystemError() { return portOpenError; }

namespace {

PortOpenOutcome FailOpen(PortOpenOutcome outcome, DWORD error) {
    portOpenError = error;
    return outcome;
}

// What CreateFile says, as the caller's reasons. A COM port that another
// program holds is refused as access denied: Windows opens it for one handle.
PortOpenOutcome OutcomeOfOpenError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return PortMissing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return PortInUse;
    default: return PortSystemError;
    }
}

}  // namespace

PortOpenOutcome OpenChannel(const char* portName) {
    // A handle left behind would keep the port busy: COM ports are not shared.
    CloseChannel();
    std::string path = portName != NULL ? SystemPortPath(portName) : "";
    if (path.empty()) return FailOpen(PortMissing, 0);
    HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, NULL);
    if (port == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return FailOpen(OutcomeOfOpenError(error), error);
    }
    // Windows opens a COM port with empty queues; Wine keeps what the line
    // delivered after the last close, and a late answer must not pass for the
    // next one.
    PurgeComm(port, PURGE_RXCLEAR);
    SerialChannel.port = port;
    SerialChannel.startError[WriteRecord] = 0;
    SerialChannel.startError[ReadRecord] = 0;
    return PortOpened;
}

namespace {

// The system's code of a failed call, taken at once, before the next call
// overwrites it.
bool Succeeded(BOOL result, DWORD* error) {
    if (!result && *error == 0) *error = GetLastError();
    return result != FALSE;
}

}  // namespace

PortOpenOutcome ConfigureChannel() {
    COMMTIMEOUTS timeouts = {100, 120, 0, 120, 0};
    DWORD error = 0;
    bool built = Succeeded(BuildCommDCBA(LineDescription, &PortControl), &error);
    bool set = Succeeded(SetCommState(SerialChannel.port, &PortControl), &error);
    bool queues = Succeeded(SetupComm(SerialChannel.port, 260, 260), &error);
    bool timed = Succeeded(SetCommTimeouts(SerialChannel.port, &timeouts), &error);
    if (built && set && queues && timed) return PortOpened;
    // A handle that takes no line settings is no serial port.
    return FailOpen(built && !set ? PortNotSerial : PortSystemError, error);
}

bool IsChannelOpen() { return SerialChannel.port != NULL; }

ChannelOutcome PurgeChannel() {
    return PurgeComm(SerialChannel.port,
                     PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)
               ? ChannelDone
               : ChannelFailed;
}

ChannelOutcome SendPriorityByte(uint8_t b) {
    if (!TransmitCommChar(SerialChannel.port, char(b))) return ChannelFailed;
    NoteLineBytes(LineOut, &b, 1, 1);
    return ChannelDone;
}

namespace {

OVERLAPPED* BeginOperation(int record) {
    OVERLAPPED* o = &SerialChannel.records[record];
    o->Offset = 0;
    o->OffsetHigh = 0;
    SerialChannel.startError[record] = 0;
    return o;
}

}  // namespace

unsigned long StartWrite(unsigned n) {
    if (n > sizeof(IoBuffer)) n = sizeof(IoBuffer);
    OVERLAPPED* o = BeginOperation(WriteRecord);
    BOOL written = WriteFile(SerialChannel.port, &IoBuffer, n, NULL, o);
    DWORD error = written ? ERROR_SUCCESS : GetLastError();
    if (written || error == ERROR_IO_PENDING) {
        NoteLineBytes(LineOut, reinterpret_cast<const uint8_t*>(&IoBuffer), n, n);
        return ErrorSuccess;
    }
    SerialChannel.startError[WriteRecord] = error;
    return error;
}

void StartRead(unsigned n) {
    // The frame area is the whole receive queue; a longer read would run into
    // the version texts behind it.
    if (n > sizeof(IoBuffer.frameArea)) n = sizeof(IoBuffer.frameArea);
    OVERLAPPED* o = BeginOperation(ReadRecord);
    SerialChannel.readRequested = n;
    SerialChannel.readWatched = false;
    if (ReadFile(SerialChannel.port, &IoBuffer, n, NULL, o)) return;
    DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) SerialChannel.startError[ReadRecord] = error;
}

namespace {

void WatchReadEnd(ChannelRecord record, unsigned long count) {
    if (record != ReadRecord || SerialChannel.readWatched) return;
    SerialChannel.readWatched = true;
    NoteLineBytes(LineIn, reinterpret_cast<const uint8_t*>(&IoBuffer), count,
                  SerialChannel.readRequested);
}

// Every look at the port's status goes through here, so no fault it reports is lost.
bool TakeCommStatus(COMSTAT* status) {
    DWORD errors = 0;
    if (SerialChannel.port == NULL || !ClearCommError(SerialChannel.port, &errors, status))
        return false;
    if (errors & CE_FRAME) ++SerialChannel.faults.framing;
    if (errors & CE_RXPARITY) ++SerialChannel.faults.parity;
    if (errors & (CE_OVERRUN | CE_RXOVER)) ++SerialChannel.faults.overrun;
    if (errors & CE_BREAK) ++SerialChannel.faults.breaks;
    return true;
}

}  // namespace

PollOutcome Poll(ChannelRecord record, unsigned long* value) {
    unsigned long ignored;
    if (value == NULL) value = &ignored;
    if (record != WriteRecord && record != ReadRecord) {
        *value = ERROR_INVALID_PARAMETER;
        return PollFailed;
    }
    if (SerialChannel.port == NULL) {
        *value = ERROR_INVALID_HANDLE;
        return PollFailed;
    }
    if (SerialChannel.startError[record] != 0) {
        *value = SerialChannel.startError[record];
        return PollFailed;
    }
    OVERLAPPED* o = &SerialChannel.records[record];
    DWORD count = 0;
    if (GetOverlappedResult(SerialChannel.port, o, &count, FALSE)) {
        *value = count;
        WatchReadEnd(record, count);
        return PollDone;
    }
    DWORD error = GetLastError();
    if (error == ERROR_IO_INCOMPLETE || error == ERROR_IO_PENDING) {
        *value = error;
        return PollPending;
    }
    if (error == ERROR_TIMEOUT) {
        // Wine ends a read whose timeout expired this way, where Windows
        // completes it with the bytes so far; the caller reports missing data.
        *value = (unsigned long)o->InternalHigh;
        WatchReadEnd(record, *value);
        return PollDone;
    }
    *value = error;
    return PollFailed;
}

unsigned long CountWaitingBytes() {
    COMSTAT status = {};
    return TakeCommStatus(&status) ? status.cbInQue : 0;
}

bool ReadLineErrorCounts(LineErrorCounts* counts) {
    COMSTAT status = {};
    if (!TakeCommStatus(&status)) return false;
    *counts = SerialChannel.faults;
    return true;
}

bool ReadLineSettings(LineSettingsRead* settings) {
    DCB actual = {};
    actual.DCBlength = sizeof actual;
    if (SerialChannel.port == NULL || !GetCommState(SerialChannel.port, &actual)) return false;
    static const char Parities[] = "NOEMS";
    settings->baud = actual.BaudRate;
    settings->dataBits = actual.ByteSize;
    settings->parity = actual.Parity < 5 ? Parities[actual.Parity] : '?';
    settings->stopBits = actual.StopBits == TWOSTOPBITS ? 2 : 1;
    settings->hardwareFlow = actual.fOutxCtsFlow || actual.fRtsControl == RTS_CONTROL_HANDSHAKE;
    settings->softwareFlow = actual.fOutX || actual.fInX;
    return true;
}

namespace {

// How long a close waits for the system to give back a cancelled operation.
const DWORD CancelWaitMs = 2000;
const DWORD CancelWaitStepMs = 50;

// A purge does not end an operation everywhere (Wine lets a read run to its
// timeout), and an operation still in flight when the handle closes could
// complete into a record or IoBuffer that the next port already uses.
void EndOperationsInFlight() {
    CancelIo(SerialChannel.port);
    for (int i = WriteRecord; i <= ReadRecord; ++i) {
        OVERLAPPED& record = SerialChannel.records[i];
        // A start that failed at once left nothing in flight.
        if (SerialChannel.startError[i] != 0) continue;
        // The two records share one event, so a wake may belong to the other
        // record: look again until this one has come back.
        DWORD waited = 0;
        while (!HasOverlappedIoCompleted(&record) && waited < CancelWaitMs) {
            if (record.hEvent != NULL)
                WaitForSingleObject(record.hEvent, CancelWaitStepMs);
            else
                Sleep(CancelWaitStepMs);
            waited += CancelWaitStepMs;
        }
    }
}

// Whether the next poll would still find an operation pending: its status
// has not left "pending" and its start did not fail.
bool IsOperationInFlight() {
    for (int record : {WriteRecord, ReadRecord}) {
        if (SerialChannel.startError[record] == 0 &&
            !HasOverlappedIoCompleted(&SerialChannel.records[record]))
            return true;
    }
    return false;
}

}  // namespace

ChannelWaitEnd WaitForChannel(unsigned maxMs, ChannelWake wake) {
    if (SerialChannel.port == NULL) return WaitEndedByLine;
    // Both records hold the one event "Test": its read-record handle serves
    // either operation. The status itself is looked at between slices.
    HANDLE event = SerialChannel.records[ReadRecord].hEvent;
    DWORD handles = event != NULL ? 1 : 0;
    for (unsigned waited = 0; waited < maxMs; waited += ChannelWaitSliceMs) {
        if (!IsOperationInFlight()) return WaitEndedByLine;
        DWORD slice = maxMs - waited < ChannelWaitSliceMs ? maxMs - waited : ChannelWaitSliceMs;
        DWORD woken = WAIT_TIMEOUT;
        if (wake == WakeForLineOrMessage)
            woken = MsgWaitForMultipleObjects(handles, &event, FALSE, slice, QS_ALLINPUT);
        else if (handles != 0)
            woken = WaitForSingleObject(event, slice);
        else
            Sleep(slice);
        if (woken == WAIT_OBJECT_0 + handles) return WaitEndedByMessage;
        if (woken != WAIT_TIMEOUT) return WaitEndedByLine;
    }
    return IsOperationInFlight() ? WaitRanOut : WaitEndedByLine;
}

void CloseChannel() {
    if (SerialChannel.port == NULL) return;
    EndOperationsInFlight();
    CloseHandle(SerialChannel.port);
    SerialChannel.port = NULL;
}

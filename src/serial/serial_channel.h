// The one open COM port and its two overlapped records. The Win32 backend and
// the termios backend both keep the line at 38400 8N1 and the read timeouts of
// the port (100 ms between bytes, 120 ms per requested byte in total).
#pragma once
#include <cstdint>

// Every outcome of the program counts 0 as success, as libserialport's SP_OK.

enum ChannelRecord { WriteRecord = 0, ReadRecord = 1 };
enum PollOutcome { PollDone = 0, PollPending = 1, PollFailed = 2 };

// The result of the purge and the priority send.
enum ChannelOutcome { ChannelDone = 0, ChannelFailed = -1 };

// Why a port could not be opened or set up, decided by the backend where the
// system call fails; PortOpenSystemError() keeps the system's code.
enum PortOpenOutcome {
    PortOpened = 0,
    PortMissing = 1,       // no such port (or a name that cannot be one)
    PortNoPermission = 2,  // the system refuses this user access to it
    PortInUse = 3,         // another program holds it
    PortNotSerial = 4,     // it opened, but is no serial port (no line settings)
    PortSystemError = 5,   // any other failure of the system
};

const unsigned long ErrorSuccess = 0;
const unsigned long ErrorIoIncomplete = 996;
const unsigned long ErrorIoPending = 997;
// Codes a failed poll reports (the Windows ones; the termios backend uses the same).
const unsigned long ErrorInvalidHandle = 6;  // no port is open
const unsigned long ErrorNotReady = 21;      // write on a vanished line
const unsigned long ErrorGenFailure = 31;
const unsigned long ErrorInvalidParameter = 87;
const unsigned long ErrorBrokenPipe = 109;        // read on a vanished line
const unsigned long ErrorOperationAborted = 995;  // ended by purge or close
const unsigned long ErrorTimeout = 1460;          // Wine's end of a silent read

// Creates the two events of the records; once, at start-up.
void CreateChannelEvents();
void CloseChannelEvents();

// A port as the port table or a front end lists it ("COM1:", "/dev/ttyUSB0"),
// opened by the name SystemPortPath gives. Whatever an earlier
// user of the port left in its input queue is gone: a COM port opens empty.
PortOpenOutcome OpenChannel(const char* portName);
// Opened when all four configuration calls succeeded; every call is made
// regardless. PortNotSerial when the line settings could not be read or set.
PortOpenOutcome ConfigureChannel();
// The system's code (errno, GetLastError()) of the latest OpenChannel or
// ConfigureChannel that failed; 0 when the failure had none (a name that
// names no port).
unsigned long PortOpenSystemError();
bool IsChannelOpen();
// Failed, and no effect, when no port is open.
ChannelOutcome PurgeChannel();
ChannelOutcome SendPriorityByte(uint8_t b);
// First n bytes of IoBuffer out through the write record: ErrorSuccess when
// started or pending, otherwise the system's error code.
unsigned long StartWrite(unsigned n);
// n bytes into the start of IoBuffer through the read record.
void StartRead(unsigned n);
// Never waits. Done: *value is the byte count; failed: *value is the error code.
PollOutcome Poll(ChannelRecord record, unsigned long* value);
// Bytes that have arrived and that no read has taken; 0 with no port open.
unsigned long CountWaitingBytes();
// What besides the line ends a wait: nothing, or also a window message for
// the calling thread (the main loop's wait; a termios line has no messages).
enum ChannelWake { WakeForLine = 0, WakeForLineOrMessage = 1 };
// How long a wait trusts the records' event before it looks at the operation
// itself. Both records signal one auto-reset event under a name any program
// can open, so a signal may be spent before the wait sees it; a completion it
// does not show is still noticed within a slice.
const unsigned ChannelWaitSliceMs = 10;
// The longest the pump or the probe sleeps between two polls of an operation
// that goes on pending.
const unsigned ChannelWaitLimitMs = 100;
// What ended a wait: the line (bytes moved, a timeout fell due, nothing was in
// flight to wait on), maxMs running out, or a window message.
enum ChannelWaitEnd { WaitEndedByLine = 0, WaitRanOut = 1, WaitEndedByMessage = 2 };
// Sleeps until the next poll may find the operation in flight further on
// (bytes moved, a timeout fallen due, the operation ended), or at most maxMs.
// For a caller whose poll just found its operation pending; it polls again
// afterwards whatever woke it. Returns at once when nothing is in flight.
ChannelWaitEnd WaitForChannel(unsigned maxMs, ChannelWake wake);
// Faults of the line the driver counted (TIOCGICOUNT, ClearCommError): a
// byte without its stop bit (wrong speed or framing), a wrong parity, bytes
// lost because nobody took them in time, a line held at zero. Only their
// growth over a stretch of time says something.
struct LineErrorCounts {
    unsigned long framing;
    unsigned long parity;
    unsigned long overrun;
    unsigned long breaks;
};
// False when no port is open or its driver counts none (a pty, some USB
// adapters).
bool ReadLineErrorCounts(LineErrorCounts* counts);
// The line's settings read back from the driver, as it really holds them.
struct LineSettingsRead {
    unsigned long baud;
    unsigned dataBits;
    char parity;  // 'N', 'E', 'O', 'M', 'S'
    unsigned stopBits;
    bool hardwareFlow;
    bool softwareFlow;
};
bool ReadLineSettings(LineSettingsRead* settings);

// Ends every operation still in flight first, so the system never writes into
// a record or IoBuffer after the port is gone.
void CloseChannel();

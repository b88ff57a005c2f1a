// The serial channel over a termios tty (a real serial device or a pty).
//
// A port is opened by the path SystemPortPath gives: a device, or for a COM
// name a link of the port folder, as Wine maps it. The line is
// raw 38400 8N1 and every operation is non-blocking; Poll emulates the port's
// Windows timeouts by looking at the clock, so it never waits. Only
// WaitForChannel sleeps, until the tty or that clock has something new.
//
// Error codes are the Windows ones the logic would see there:
//   6   ERROR_INVALID_HANDLE      no port is open
//   21  ERROR_NOT_READY           a write on a vanished line (as Wine reports it)
//   31  ERROR_GEN_FAILURE         any other failure of the device
//   87  ERROR_INVALID_PARAMETER   a record that does not exist
//   109 ERROR_BROKEN_PIPE         a read on a vanished line (hang-up, EIO)
//   995 ERROR_OPERATION_ABORTED   a pending operation ended by purge or close
#include "serial/serial_channel.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "protocol/io_buffer.h"
#include "serial/line_watch.h"
#include "serial/port_names.h"

namespace {

enum RecordState { RecordIdle = 0, RecordPending, RecordDone, RecordFailed };

struct ChannelOperation {
    int state;
    unsigned requested;
    unsigned long count;      // bytes moved so far
    unsigned long errorCode;  // when failed
    int64_t startedUs;
    int64_t lastByteUs;                      // read: when the latest bytes were seen
    int64_t lastLookUs;                      // read: when a poll last looked at the line
    bool watched;                            // read: its end was told to the line's watcher
    uint8_t outgoing[sizeof(IoBufferArea)];  // write: the bytes being sent
};

// The port's timeouts as SetCommTimeouts holds them; zero means "no limit".
struct ChannelTimeouts {
    unsigned long readInterval;
    unsigned long readTotalMultiplier;
    unsigned long readTotalConstant;
    unsigned long writeTotalMultiplier;
    unsigned long writeTotalConstant;
};

struct SerialChannelRecord {
    int fd;            // -1 when no port is open
    bool hadSettings;  // the line settings found at the open, given back at the close
    termios settingsFound;
    ChannelTimeouts timeouts;
    ChannelOperation records[2];
};

}  // namespace

SerialChannelRecord SerialChannel = {-1, false, {}, {}, {}};

namespace {

int64_t NowUs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

bool IsLineGone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV || err == EPIPE || err == EBADF;
}

void FailOperation(ChannelOperation& op, unsigned long code) {
    op.state = RecordFailed;
    op.errorCode = code;
}

void AbortPendingOperations() {
    for (ChannelOperation& op : SerialChannel.records) {
        if (op.state == RecordPending) FailOperation(op, ErrorOperationAborted);
    }
}

}  // namespace

void CreateChannelEvents() {}

void CloseChannelEvents() {}

namespace {

// The system's code behind the latest open or configuration that failed.
unsigned long portOpenError = 0;

}  // namespace

unsigned long PortOpenSystemError() { return portOpenError; }

namespace {

PortOpenOutcome FailOpen(PortOpenOutcome outcome, int error) {
    portOpenError = static_cast<unsigned long>(error);
    return outcome;
}

// What open(2) says, as the caller's reasons: no device behind the name, no
// access for this user, or a device another program holds.
PortOpenOutcome OutcomeOfOpenError(int error) {
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR: return PortMissing;
    case EACCES:
    case EPERM: return PortNoPermission;
    case EBUSY: return PortInUse;
    default: return PortSystemError;
    }
}

}  // namespace

PortOpenOutcome OpenChannel(const char* portName) {
    // An fd left behind would keep the port locked against ourselves.
    CloseChannel();
    std::string path = portName != nullptr ? SystemPortPath(portName) : "";
    if (path.empty()) return FailOpen(PortMissing, 0);
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        return FailOpen(OutcomeOfOpenError(error), error);
    }
    // A COM port is exclusive on Windows; TIOCEXCL would not stop root.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        close(fd);
        return FailOpen(error == EWOULDBLOCK ? PortInUse : PortSystemError, error);
    }
    // Programs that do not lock (a terminal program) are kept out as well,
    // as far as the system does that for a user who is not root.
    ioctl(fd, TIOCEXCL);
    // Whoever uses the device after us (a terminal, the next program) finds
    // it as we found it, not raw at 38400.
    SerialChannel.hadSettings = tcgetattr(fd, &SerialChannel.settingsFound) == 0;
    // A tty keeps what arrived after its last user stopped reading; a COM
    // port opens empty, and a late answer must not pass for the next one.
    tcflush(fd, TCIFLUSH);
    SerialChannel.fd = fd;
    SerialChannel.timeouts = ChannelTimeouts{};
    for (ChannelOperation& op : SerialChannel.records) op.state = RecordIdle;
    return PortOpened;
}

namespace {

// Raw 38400 8N1: no flow control (0x11 and 0x13 are data on this line), no
// translation, no echo, no signals; reads return as soon as one byte is there,
// so a read of 0 bytes can only mean the line has gone.
bool BuildLineSettings(termios& settings) {
    bool ok = tcgetattr(SerialChannel.fd, &settings) == 0;
    if (!ok) memset(&settings, 0, sizeof settings);
    cfmakeraw(&settings);
    settings.c_iflag &=
        ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | PARMRK | IGNBRK | BRKINT | INLCR | IGNCR | ICRNL);
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
    return ok;
}

bool SetLineSettings(const termios& settings) {
    if (tcsetattr(SerialChannel.fd, TCSANOW, &settings) != 0) return false;
    // tcsetattr succeeds when any part took; make sure the parts we rely on did.
    termios actual;
    if (tcgetattr(SerialChannel.fd, &actual) != 0) return false;
    return (actual.c_cflag & (CSIZE | PARENB | CSTOPB)) == CS8 &&
           (actual.c_iflag & (IXON | IXOFF)) == 0 && (actual.c_lflag & (ICANON | ECHO)) == 0 &&
           cfgetospeed(&actual) == B38400;
}

// The kernel's queues are larger than 260 bytes and cannot be sized; this only
// confirms there is a terminal with queues behind the handle.
bool SetUpQueues() { return isatty(SerialChannel.fd) == 1; }

bool SetLineTimeouts(const ChannelTimeouts& timeouts) {
    SerialChannel.timeouts = timeouts;
    return true;
}

}  // namespace

PortOpenOutcome ConfigureChannel() {
    if (SerialChannel.fd < 0) return FailOpen(PortMissing, EBADF);
    termios settings;
    errno = 0;
    bool built = BuildLineSettings(settings);
    int error = errno;
    bool set = SetLineSettings(settings);
    if (error == 0) error = errno;
    bool queues = SetUpQueues();
    if (error == 0) error = errno;
    bool timed = SetLineTimeouts(ChannelTimeouts{100, 120, 0, 120, 0});
    if (built && set && queues && timed) return PortOpened;
    // A device without line settings answers ENOTTY (or EINVAL); anything
    // else is the system's own failure.
    bool notSerial = !queues || error == ENOTTY || error == EINVAL;
    return FailOpen(notSerial ? PortNotSerial : PortSystemError, error);
}

bool IsChannelOpen() { return SerialChannel.fd >= 0; }

ChannelOutcome PurgeChannel() {
    if (SerialChannel.fd < 0) return ChannelFailed;
    AbortPendingOperations();
    return tcflush(SerialChannel.fd, TCIOFLUSH) == 0 ? ChannelDone : ChannelFailed;
}

ChannelOutcome SendPriorityByte(uint8_t b) {
    if (SerialChannel.fd < 0) return ChannelFailed;
    ssize_t r;
    do {
        r = write(SerialChannel.fd, &b, 1);
    } while (r < 0 && errno == EINTR);
    if (r != 1) return ChannelFailed;
    NoteLineBytes(LineOut, &b, 1, 1);
    return ChannelDone;
}

namespace {

// When the port's total timeout ends the operation: the time for the bytes
// requested from its start; -1 when no total timeout applies.
int64_t TotalDeadlineUs(const ChannelOperation& op, int record) {
    const ChannelTimeouts& t = SerialChannel.timeouts;
    int64_t totalMs = record == ReadRecord
                          ? int64_t(t.readTotalMultiplier) * op.requested + t.readTotalConstant
                          : int64_t(t.writeTotalMultiplier) * op.requested + t.writeTotalConstant;
    return totalMs > 0 ? op.startedUs + totalMs * 1000 : -1;
}

// When the silence after a read's last byte ends it; -1 before the first byte
// or with no interval timeout.
int64_t SilenceDeadlineUs(const ChannelOperation& op) {
    int64_t interval = SerialChannel.timeouts.readInterval;
    return interval > 0 && op.count > 0 ? op.lastByteUs + interval * 1000 : -1;
}

// The first moment the port's timeouts can end the pending operation short;
// -1 when none applies.
int64_t TimeoutUs(const ChannelOperation& op, int record) {
    int64_t deadline = TotalDeadlineUs(op, record);
    int64_t silence = record == ReadRecord ? SilenceDeadlineUs(op) : -1;
    if (deadline < 0 || (silence >= 0 && silence < deadline)) deadline = silence;
    return deadline;
}

void AdvanceWrite(ChannelOperation& op, int64_t now) {
    while (op.count < op.requested) {
        ssize_t r = write(SerialChannel.fd, op.outgoing + op.count, op.requested - op.count);
        if (r > 0) {
            op.count += static_cast<unsigned long>(r);
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        FailOperation(op, r < 0 && !IsLineGone(errno) ? ErrorGenFailure : ErrorNotReady);
        return;
    }
    if (op.count == op.requested) {
        op.state = RecordDone;
        return;
    }
    // A line that takes nothing for longer than the write timeout ends the
    // write short, as Windows does, rather than leaving it pending for ever.
    int64_t deadline = TotalDeadlineUs(op, WriteRecord);
    if (deadline >= 0 && now >= deadline) op.state = RecordDone;
}

void AdvanceRead(ChannelOperation& op, int64_t now) {
    // Windows ends the read at its total deadline with the bytes the driver
    // took until then. A poll cannot see when the bytes waiting for it came:
    // the first look at the line after the deadline takes what is waiting (up
    // to the read's size) as come in time, however late that look is, since a
    // process that was stopped or starved by load looks late through no fault
    // of the line. Only that first look does: bytes a later look would find
    // came after it, and stay queued for whoever reads next. The gap between
    // bytes is another matter: a late poll cannot tell a silent line from its
    // own delay, so only a silence it has seen ends the read (below).
    int64_t total = TotalDeadlineUs(op, ReadRecord);
    bool overdue = total >= 0 && now >= total;
    bool firstLookAfterDeadline = overdue && op.lastLookUs < total;
    op.lastLookUs = now;
    if (overdue && !firstLookAfterDeadline) {
        op.state = RecordDone;
        return;
    }
    uint8_t* into = reinterpret_cast<uint8_t*>(&IoBuffer);
    while (op.count < op.requested) {
        ssize_t r = read(SerialChannel.fd, into + op.count, op.requested - op.count);
        if (r > 0) {
            op.count += static_cast<unsigned long>(r);
            op.lastByteUs = now;
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p = {SerialChannel.fd, POLLIN, 0};
            if (poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                FailOperation(op, ErrorBrokenPipe);
                return;
            }
            break;
        }
        // 0 bytes from a tty that waits for at least one: the far end hung up.
        FailOperation(op, r < 0 && !IsLineGone(errno) ? ErrorGenFailure : ErrorBrokenPipe);
        return;
    }
    int64_t silence = SilenceDeadlineUs(op);
    if (op.count == op.requested || overdue || (silence >= 0 && now >= silence))
        op.state = RecordDone;
}

ChannelOperation& BeginOperation(int record, unsigned n) {
    ChannelOperation& op = SerialChannel.records[record];
    op.state = RecordPending;
    op.requested = n;
    op.count = 0;
    op.errorCode = 0;
    op.startedUs = NowUs();
    op.lastByteUs = op.startedUs;
    op.lastLookUs = op.startedUs;
    op.watched = false;
    return op;
}

}  // namespace

unsigned long StartWrite(unsigned n) {
    if (n > sizeof(IoBufferArea)) n = sizeof(IoBufferArea);
    ChannelOperation& op = BeginOperation(WriteRecord, n);
    if (SerialChannel.fd < 0) {
        FailOperation(op, ErrorInvalidHandle);
        return ErrorInvalidHandle;
    }
    memcpy(op.outgoing, &IoBuffer, n);
    NoteLineBytes(LineOut, op.outgoing, n, n);
    AdvanceWrite(op, op.startedUs);
    return op.state == RecordFailed ? op.errorCode : ErrorSuccess;
}

void StartRead(unsigned n) {
    // The frame area is the whole receive queue; a longer read would run into
    // the version texts behind it.
    if (n > sizeof(IoBuffer.frameArea)) n = sizeof(IoBuffer.frameArea);
    ChannelOperation& op = BeginOperation(ReadRecord, n);
    if (SerialChannel.fd < 0) {
        FailOperation(op, ErrorInvalidHandle);
        return;
    }
    AdvanceRead(op, op.startedUs);
}

PollOutcome Poll(ChannelRecord record, unsigned long* value) {
    unsigned long ignored;
    if (value == nullptr) value = &ignored;
    if (record != WriteRecord && record != ReadRecord) {
        *value = ErrorInvalidParameter;
        return PollFailed;
    }
    if (SerialChannel.fd < 0) {
        *value = ErrorInvalidHandle;
        return PollFailed;
    }
    ChannelOperation& op = SerialChannel.records[record];
    if (op.state == RecordPending) {
        if (record == WriteRecord) {
            AdvanceWrite(op, NowUs());
        } else {
            AdvanceRead(op, NowUs());
        }
    }
    switch (op.state) {
    case RecordPending: *value = ErrorIoIncomplete; return PollPending;
    case RecordFailed: *value = op.errorCode; return PollFailed;
    default:  // a record never used reads as a finished transfer of 0 bytes
        *value = op.state == RecordDone ? op.count : 0;
        if (record == ReadRecord && op.state == RecordDone && !op.watched) {
            op.watched = true;
            NoteLineBytes(LineIn, reinterpret_cast<const uint8_t*>(&IoBuffer), op.count,
                          op.requested);
        }
        return PollDone;
    }
}

unsigned long CountWaitingBytes() {
    int waiting = 0;
    if (SerialChannel.fd < 0 || ioctl(SerialChannel.fd, FIONREAD, &waiting) != 0) return 0;
    return waiting > 0 ? static_cast<unsigned long>(waiting) : 0;
}

// The tty tells when bytes come in or room goes out; the timeouts are our own
// clock, so the wait ends no later than the first of them.
ChannelWaitEnd WaitForChannel(unsigned maxMs, ChannelWake) {
    if (SerialChannel.fd < 0) return WaitEndedByLine;
    int64_t now = NowUs();
    int64_t limit = now + int64_t(maxMs) * 1000;
    int64_t until = limit;
    short events = 0;
    for (int record : {WriteRecord, ReadRecord}) {
        const ChannelOperation& op = SerialChannel.records[record];
        if (op.state != RecordPending) continue;
        events |= record == ReadRecord ? POLLIN : POLLOUT;
        int64_t deadline = TimeoutUs(op, record);
        if (deadline >= 0 && deadline < until) until = deadline;
    }
    if (events == 0) return WaitEndedByLine;
    int timeoutMs = until <= now ? 0 : int((until - now + 999) / 1000);
    pollfd p = {SerialChannel.fd, events, 0};
    if (poll(&p, 1, timeoutMs) != 0) return WaitEndedByLine;
    // A deadline of the operation's own ends it, just as bytes would.
    return until < limit ? WaitEndedByLine : WaitRanOut;
}

bool ReadLineErrorCounts(LineErrorCounts* counts) {
    serial_icounter_struct icount = {};
    if (SerialChannel.fd < 0 || ioctl(SerialChannel.fd, TIOCGICOUNT, &icount) != 0) return false;
    counts->framing = unsigned(icount.frame);
    counts->parity = unsigned(icount.parity);
    counts->overrun = unsigned(icount.overrun) + unsigned(icount.buf_overrun);
    counts->breaks = unsigned(icount.brk);
    return true;
}

namespace {

unsigned long BaudOf(speed_t speed) {
    switch (speed) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

}  // namespace

bool ReadLineSettings(LineSettingsRead* settings) {
    termios actual;
    if (SerialChannel.fd < 0 || tcgetattr(SerialChannel.fd, &actual) != 0) return false;
    settings->baud = BaudOf(cfgetospeed(&actual));
    switch (actual.c_cflag & CSIZE) {
    case CS5: settings->dataBits = 5; break;
    case CS6: settings->dataBits = 6; break;
    case CS7: settings->dataBits = 7; break;
    default: settings->dataBits = 8; break;
    }
    settings->parity = (actual.c_cflag & PARENB) == 0 ? 'N' : (actual.c_cflag & PARODD) ? 'O' : 'E';
    settings->stopBits = (actual.c_cflag & CSTOPB) ? 2 : 1;
    settings->hardwareFlow = (actual.c_cflag & CRTSCTS) != 0;
    settings->softwareFlow = (actual.c_iflag & (IXON | IXOFF)) != 0;
    return true;
}

// Nothing is in flight outside this process: dropping the pending state is
// all a close needs.
void CloseChannel() {
    if (SerialChannel.fd < 0) return;
    AbortPendingOperations();
    if (SerialChannel.hadSettings)
        tcsetattr(SerialChannel.fd, TCSANOW, &SerialChannel.settingsFound);
    SerialChannel.hadSettings = false;
    ioctl(SerialChannel.fd, TIOCNXCL);
    flock(SerialChannel.fd, LOCK_UN);
    close(SerialChannel.fd);
    SerialChannel.fd = -1;
}

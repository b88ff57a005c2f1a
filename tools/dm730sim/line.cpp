// The serial line: a pseudo-terminal whose slave end a path links to, or a real
// serial device; raw 38400 8N1 so every byte value passes both ways. Optional
// pacing at the real line rate in both directions.
#include "sim.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct QueuedByte {
    uint8_t value;
    int64_t due;  // when its last bit has arrived
};

struct OutChunk {
    std::vector<uint8_t> bytes;
    size_t sent;
    int64_t notBefore;
};

struct SimLine {
    int fd = -1;         // pty master or the device
    int keptSlave = -1;  // keeps the pty alive while the peer closes and reopens it
    int watchFd = -1;    // inotify on the slave: the peer's opens and closes
    int peerOpens = 0;
    std::string ttyName;
    bool linked = false;
    std::deque<QueuedByte> input;
    int64_t inputClock = 0;
    std::deque<OutChunk> output;
    int64_t lineFreeAt = 0;  // when the last byte written has left the wire
    bool outputBlocked = false;
};

SimLine Line;
const int64_t InputBatchNs = 5LL * 1000000LL;

}  // namespace

int LinePollFds(struct pollfd* fds, bool wantOutput) {
    int n = 0;
    if (Line.fd >= 0) fds[n++] = pollfd{Line.fd, (short)(POLLIN | (wantOutput ? POLLOUT : 0)), 0};
    if (Line.watchFd >= 0) fds[n++] = pollfd{Line.watchFd, POLLIN, 0};
    return n;
}
bool IsLineUp() { return Line.fd >= 0; }
const char* LineTtyName() { return Line.ttyName.c_str(); }

namespace {

// Raw bytes, no flow control, no translation, 38400 8N1.
int MakeRaw(int fd) {
    struct termios t;
    if (tcgetattr(fd, &t) != 0) return -1;
    cfmakeraw(&t);
    t.c_iflag &= ~(tcflag_t)(IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT |
                             PARMRK | INPCK);
    t.c_iflag |= IGNBRK;
    t.c_oflag &= ~(tcflag_t)OPOST;
    t.c_lflag &= ~(tcflag_t)(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    return tcsetattr(fd, TCSANOW, &t);
}

// The link replaces an earlier link (a stale one from a killed run, too) but
// never a file or directory of someone else's.
int LinkToSlave(const std::string& path, const std::string& target) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        fprintf(stderr, "dm730sim: %s exists and is not a symbolic link\n", path.c_str());
        return -1;
    }
    std::string temp = path + ".dm730sim." + std::to_string(getpid());
    unlink(temp.c_str());
    if (symlink(target.c_str(), temp.c_str()) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
        fprintf(stderr, "dm730sim: cannot link %s to %s: %s\n", path.c_str(), target.c_str(),
                strerror(errno));
        unlink(temp.c_str());
        return -1;
    }
    return 0;
}

int OpenPseudoTerminal() {
    Line.fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Line.fd < 0 || grantpt(Line.fd) != 0 || unlockpt(Line.fd) != 0) {
        fprintf(stderr, "dm730sim: cannot open a pseudo-terminal: %s\n", strerror(errno));
        return -1;
    }
    const char* name = ptsname(Line.fd);
    if (name == nullptr) {
        fprintf(stderr, "dm730sim: no slave name: %s\n", strerror(errno));
        return -1;
    }
    Line.ttyName = name;
    Line.keptSlave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Line.keptSlave < 0 || MakeRaw(Line.keptSlave) != 0) {
        fprintf(stderr, "dm730sim: cannot set up %s: %s\n", name, strerror(errno));
        return -1;
    }
    if (fcntl(Line.fd, F_SETFL, fcntl(Line.fd, F_GETFL) | O_NONBLOCK) != 0) return -1;
    // Without the watch only a fresh ESC clears what the peer left unread.
    Line.watchFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (Line.watchFd >= 0 &&
        inotify_add_watch(Line.watchFd, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        close(Line.watchFd);
        Line.watchFd = -1;
    }
    if (LinkToSlave(Options.linkPath, Line.ttyName) != 0) return -1;
    Line.linked = true;
    return 0;
}

int OpenDevice() {
    Line.ttyName = Options.devicePath;
    Line.fd = open(Options.devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Line.fd < 0 || MakeRaw(Line.fd) != 0) {
        fprintf(stderr, "dm730sim: cannot open %s as a serial line: %s\n",
                Options.devicePath.c_str(), strerror(errno));
        return -1;
    }
    tcflush(Line.fd, TCIOFLUSH);
    return 0;
}

}  // namespace

int OpenLine() {
    int r = Options.devicePath.empty() ? OpenPseudoTerminal() : OpenDevice();
    if (r != 0) CloseLine(false);
    return r;
}

namespace {

// Removes the link only while it still points at our terminal: a later run may
// have taken the path over.
void RemoveLink() {
    if (!Line.linked) return;
    Line.linked = false;
    char target[PATH_MAX];
    ssize_t n = readlink(Options.linkPath.c_str(), target, sizeof target - 1);
    if (n < 0) return;
    target[n] = '\0';
    if (Line.ttyName == target) unlink(Options.linkPath.c_str());
}

}  // namespace

void CloseLine(bool hangup) {
    RemoveLink();
    if (Line.watchFd >= 0) close(Line.watchFd);
    if (Line.keptSlave >= 0) close(Line.keptSlave);
    if (Line.fd >= 0) close(Line.fd);
    Line.watchFd = -1;
    Line.keptSlave = -1;
    Line.fd = -1;
    Line.input.clear();
    Line.output.clear();
    Line.outputBlocked = false;
    if (hangup) Report("hangup");
}

namespace {

// Bytes the peer sent before its last close belong to an exchange it gave up.
// They can still wait on the master when the close is seen (this process may
// have been slow to run), and a reopened peer may already have sent its ESC.
// Returns whether the last byte drained was an ESC.
bool DrainStaleInput() {
    size_t count = Line.input.size();
    bool lastEsc = count > 0 && Line.input.back().value == ESC;
    Line.input.clear();
    uint8_t buffer[4096];
    for (;;) {
        ssize_t n = read(Line.fd, buffer, sizeof buffer);
        if (n > 0) {
            count += (size_t)n;
            lastEsc = buffer[n - 1] == ESC;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    if (count > 0) Report("drop stale %zu", count);
    return lastEsc;
}

// Bytes sent to a closed port are lost: answers still to send when the peer's
// last handle closes, or when it opens anew, are dropped. What the pty already
// holds for the peer is the peer's own queue, which its open empties as a COM
// port's does.
void FollowPeer(int64_t now) {
    alignas(struct inotify_event) char buffer[1024];
    bool drainedEsc = false;
    for (;;) {
        ssize_t n = read(Line.watchFd, buffer, sizeof buffer);
        if (n <= 0) return;
        for (ssize_t at = 0; at < n;) {
            const struct inotify_event* e =
                reinterpret_cast<const struct inotify_event*>(buffer + at);
            at += (ssize_t)sizeof(struct inotify_event) + e->len;
            if (e->mask & IN_OPEN) {
                if (++Line.peerOpens == 1) {
                    DiscardPendingOutput();
                    if (Options.portEvents) Report("port open");
                    // Its open precedes anything it sends: an ESC drained after
                    // it was seen to close may be the new exchange's first byte.
                    if (drainedEsc) Line.input.push_back(QueuedByte{ESC, now});
                    drainedEsc = false;
                }
            } else if (e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                if (Line.peerOpens > 0 && --Line.peerOpens == 0) {
                    DiscardPendingOutput();
                    if (Options.portEvents) Report("port closed");
                    PeerClosed();
                    drainedEsc = DrainStaleInput();
                }
            }
        }
    }
}

}  // namespace

void ReceiveBytes(int64_t now) {
    if (Line.fd < 0) return;
    // Before the line: the peer's open or close precedes whatever it sends next.
    if (Line.watchFd >= 0) FollowPeer(now);
    uint8_t buffer[4096];
    for (;;) {
        ssize_t n = read(Line.fd, buffer, sizeof buffer);
        if (n > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                // Paced: each byte takes its wire time after the one before it.
                int64_t due = now;
                if (Options.lineRate) {
                    Line.inputClock = std::max(Line.inputClock, now) + ByteTimeNs;
                    due = Line.inputClock;
                }
                Line.input.push_back(QueuedByte{buffer[i], due});
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            // A peer that opened the port just after the look above has
            // already sent these bytes: its open must count before they are
            // answered, or the answer would go to a port seen as closed.
            if (Line.watchFd >= 0 && Line.peerOpens == 0 && !Line.input.empty()) FollowPeer(now);
            return;
        }
        // A vanished device (a pty master keeps its slave open and never gets here).
        fprintf(stderr, "dm730sim: line %s lost: %s\n", Line.ttyName.c_str(),
                n == 0 ? "end of file" : strerror(errno));
        CloseLine(true);
        return;
    }
}

bool TakeDueByte(int64_t now, uint8_t* b, int64_t* due) {
    if (Line.input.empty() || Line.input.front().due > now) return false;
    *b = Line.input.front().value;
    *due = Line.input.front().due;
    Line.input.pop_front();
    return true;
}

// Paced bytes are taken in batches with their own arrival times, so there is
// no need to wake for each one: a frame written at once completes with its
// last byte, and a batch is never held longer than a few milliseconds.
int64_t NextInputDue() {
    if (Line.input.empty()) return -1;
    return std::min(Line.input.back().due, Line.input.front().due + InputBatchNs);
}

int64_t NextQueuedDue() { return Line.input.empty() ? -1 : Line.input.front().due; }

void QueueReply(const uint8_t* bytes, int n, int64_t notBefore) {
    if (Line.fd < 0 || n <= 0) return;
    Line.output.push_back(OutChunk{std::vector<uint8_t>(bytes, bytes + n), 0, notBefore});
}

// Answers the device has not sent yet. What already went out is on the PC's
// side of the line and stays there: a real device cannot take it back.
void DiscardPendingOutput() {
    Line.output.clear();
    Line.outputBlocked = false;
    // A real serial device: the driver's output queue is still this side's.
    if (Line.fd >= 0 && Line.keptSlave < 0) tcflush(Line.fd, TCOFLUSH);
}

void SendDueOutput(int64_t now) {
    Line.outputBlocked = false;
    while (Line.fd >= 0 && !Line.output.empty()) {
        OutChunk& chunk = Line.output.front();
        if (now < chunk.notBefore) return;
        // Nobody has the port open: on a line these bytes would be lost.
        if (Line.watchFd >= 0 && Line.peerOpens == 0) {
            Line.output.pop_front();
            continue;
        }
        size_t left = chunk.bytes.size() - chunk.sent;
        size_t count = left;
        int64_t start = std::max(Line.lineFreeAt, chunk.notBefore);
        if (Options.lineRate) {
            // A byte goes to the peer once its last bit would have arrived.
            int64_t due = now < start ? 0 : (now - start) / ByteTimeNs;
            count = std::min(left, (size_t)due);
            if (count == 0) return;
        }
        ssize_t n = write(Line.fd, chunk.bytes.data() + chunk.sent, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                Line.outputBlocked = true;
                return;
            }
            fprintf(stderr, "dm730sim: write to %s failed: %s\n", Line.ttyName.c_str(),
                    strerror(errno));
            Line.output.clear();
            return;
        }
        chunk.sent += (size_t)n;
        Line.lineFreeAt = Options.lineRate ? start + n * ByteTimeNs : now;
        if (chunk.sent == chunk.bytes.size())
            Line.output.pop_front();
        else if ((size_t)n < count) {
            Line.outputBlocked = true;
            return;
        }
    }
}

int64_t NextOutputDue() {
    if (Line.fd < 0 || Line.output.empty() || Line.outputBlocked) return -1;
    const OutChunk& chunk = Line.output.front();
    if (!Options.lineRate) return chunk.notBefore;
    return std::max(Line.lineFreeAt, chunk.notBefore) + ByteTimeNs;
}

bool OutputBlocked() { return Line.fd >= 0 && Line.outputBlocked; }

// dm730sim: plays the Dm730 controller on a serial line for the PC program and
// its tests. Options, the event lines on stdout, signals and the poll loop.
#include "sim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

SimOptions Options;

namespace {

volatile sig_atomic_t stopRequested = 0;

const char HelpText[] =
    "Usage: dm730sim (--link PATH | --device PATH) [options]\n"
    "Plays the Dm730 Selvo controller on a serial line: answers ESC with the\n"
    "identification reply and block commands 0x11 (write) and 0x12 (read) with\n"
    "ACK/NAK and 257-byte data frames; 4096 blocks of 256 bytes.\n"
    "\n"
    "Line:\n"
    "  --link PATH         open a pseudo-terminal and link PATH to its slave end\n"
    "                      (an existing symbolic link is replaced; removed at exit)\n"
    "  --device PATH       use a real serial device instead (raw 38400 8N1)\n"
    "  --memory FILE       1 MiB memory image, created zero-filled when missing;\n"
    "                      every block is read from and written to it at once\n"
    "                      (without it the memory lives in the process, zeroed)\n"
    "  --versions A.B,C.D  identification reply numbers (default 3.05,1.20): bytes\n"
    "                      A, B, C, D as decimal 0..255 each (\"3.05\" gives 3 and 5)\n"
    "  --line-rate         pace output and consumption of input at 38400 baud,\n"
    "                      10 bits a byte (a data frame takes about 67 ms); on a\n"
    "                      pty the PC's write ends at once, so the reply to its\n"
    "                      data frame comes ~67 ms into its 120 ms wait\n"
    "  --turnaround MS     wait MS milliseconds before each answer (the PC waits\n"
    "                      at most 120 ms for a 1-byte reply)\n"
    "  --port-events       also report the peer's opens and closes of the pty\n"
    "  --timestamps        start each event line with the time it happened:\n"
    "                      seconds on the monotonic clock, to the microsecond\n"
    "\n"
    "Faults (BLOCK is an absolute block number; block faults may be repeated and\n"
    "fire every time their block comes up; values decimal or 0x hexadecimal):\n"
    "  --nak-command BLOCK        answer the block command with NAK\n"
    "  --status-byte BLOCK:0xNN   answer the block command with byte NN instead\n"
    "  --nak-block BLOCK          answer the PC's data frame with NAK (not stored)\n"
    "  --block-status BLOCK:0xNN  answer the PC's data frame with byte NN (not stored)\n"
    "  --bad-checksum BLOCK[:0xSS]  send the data frame of a read so that its bytes\n"
    "                             sum to SS (default 0x01) instead of 0\n"
    "  --short-frame BLOCK[:N]    send only the first N bytes (default 200) of a read\n"
    "                             frame\n"
    "  --noise BLOCK[:0xNN]       put byte NN (default 0x06, an ACK) on the line as\n"
    "                             soon as the command of BLOCK has arrived, ahead of\n"
    "                             its answer (give --turnaround to keep them apart)\n"
    "  --store-changed BLOCK[:0xNN]  acknowledge the PC's data frame but store the\n"
    "                             block with its first byte XOR NN (default 0x01)\n"
    "  --ident-nak                end the identification reply with NAK\n"
    "  --ident-status 0xNN        end the identification reply with byte NN\n"
    "  --bad-ident-checksum[=0xSS]  identification reply bytes 0..4 sum to SS\n"
    "                             (default 0x01); combines with the two above\n"
    "  --ident-silent             do not answer ESC\n"
    "  --ident-faults-after N     spare the first N identification requests from the\n"
    "                             ident faults (e.g. let a detection probe pass)\n"
    "  --silent-after N           once N blocks have been transferred, answer nothing\n"
    "                             from the next block command on\n"
    "  --late-answer BLOCK[:MS]   answer the block command MS ms late (default 250;\n"
    "                             the PC waits 120 ms), the data frame of a read\n"
    "                             right behind; once, the block's next command is\n"
    "                             answered in time\n"
    "  --noise-rate R             put a random fault of the line on a share R (0 to 1)\n"
    "                             of the answers in block exchanges: a byte changed\n"
    "                             (a one-byte answer never into ACK or NAK), a byte\n"
    "                             lost, or a one-byte answer 150-300 ms late\n"
    "  --seed S                   the same faults for the same S (default 1)\n"
    "  --pause-every N:MS         after every N answers in block exchanges, give the\n"
    "                             next none for MS ms\n"
    "Lines that are no controller (the memory is never touched):\n"
    "  --echo                     send every byte back, as a loopback plug does;\n"
    "                             with --noise-rate R a share R of them changed or lost\n"
    "  --garbage                  answer every byte with \"ERR?\" CR LF\n"
    "  --wrong-speed[=BAUD]       answer ESC with the identification sent at BAUD\n"
    "                             (default 9600): what a 38400 receiver samples\n"
    "  --hangup-after N           once N blocks have been transferred, close the line\n"
    "                             at the next block command (the PC's pending read\n"
    "                             fails; the link is removed; runs on until signalled)\n"
    "  A block counts as transferred when its data frame was stored (write) or sent\n"
    "  (read) without a fault, or acknowledged and stored changed (--store-changed);\n"
    "  commands answered NAK or garbled do not trigger.\n"
    "\n"
    "Events, one line each on stdout, written as soon as the reader takes them\n"
    "(a full pipe never holds up the line):\n"
    "  ready PATH TTY                 line open (PATH: link or device; TTY: slave)\n"
    "  ident                          identification reply sent\n"
    "  command write|read BLOCK ack   block command accepted\n"
    "  block-in BLOCK ack             data frame stored, ACK sent\n"
    "  block-out BLOCK                data frame of a read sent\n"
    "  nak command-checksum 0xSS      command bytes summed to SS, NAK sent\n"
    "  nak command-op 0xNN            unknown command code, NAK sent\n"
    "  nak command-block write|read BLOCK   block above 4095, NAK sent\n"
    "  nak block-checksum BLOCK 0xSS  data frame summed to SS, NAK sent\n"
    "  nak memory-read|memory-write BLOCK   the image file failed, NAK sent\n"
    "  drop command|block-in N        partial frame of N bytes dropped after more\n"
    "                                 than 100 ms of silence, or when the port\n"
    "                                 closed (block-in 0: the data frame awaited)\n"
    "  fault ident-silent | fault ident-nak | fault ident-status 0xNN |\n"
    "  fault ident-checksum 0xSS\n"
    "  fault nak-command write|read BLOCK | fault status-byte write|read BLOCK 0xNN\n"
    "  fault nak-block BLOCK | fault block-status BLOCK 0xNN\n"
    "  fault bad-checksum BLOCK 0xSS | fault short-frame BLOCK N\n"
    "  fault noise BLOCK 0xNN\n"
    "  fault store-changed BLOCK 0xNN   data frame stored changed, ACK sent\n"
    "  fault late-answer write|read BLOCK MS\n"
    "  fault noise-changed|noise-lost command|block-out|block-in BLOCK POS\n"
    "  fault noise-late command|block-in BLOCK MS\n"
    "  fault pause MS\n"
    "  fault garbage                  (--garbage) ESC answered with ERR?\n"
    "  fault echo-changed | fault echo-lost   (--echo --noise-rate) a byte given back\n"
    "                                 changed, or not at all\n"
    "  fault wrong-speed BAUD N F     (--wrong-speed) N bytes sent, F of them\n"
    "                                 without their stop bit\n"
    "  fault silent command write|read BLOCK | fault silent ident\n"
    "  fault hangup command write|read BLOCK, then: hangup\n"
    "  drop stale N                   N bytes the peer sent before it closed the\n"
    "                                 port, not yet taken, dropped (a last ESC is\n"
    "                                 kept when the peer has opened the port again)\n"
    "  port open | port closed        (with --port-events) the peer opened the pty\n"
    "                                 (first handle) or closed its last handle\n"
    "  lost N                         N lines dropped: over 64 MiB were unread\n"
    "\n"
    "A pty port behaves like a COM port on a line: answers due while it is closed\n"
    "are lost, and a close ends the exchange in progress. What the pty holds for\n"
    "the peer stays there until the peer reads it or empties its queue, as a COM\n"
    "port's open does.\n"
    "\n"
    "SIGINT or SIGTERM: removes the link and exits with status 0.\n"
    "--version prints the version, --help this text.\n";

}  // namespace

int64_t NowNs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

namespace {

void OnStopSignal(int) { stopRequested = 1; }

int ParseVersions(const char* text) {
    unsigned a, b, c, d;
    char tail;
    if (text == nullptr || sscanf(text, "%u.%u,%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255)
        return -2;
    Options.versions[0] = (uint8_t)a;
    Options.versions[1] = (uint8_t)b;
    Options.versions[2] = (uint8_t)c;
    Options.versions[3] = (uint8_t)d;
    return 0;
}

int Usage(const char* problem, const char* what) {
    fprintf(stderr, "dm730sim: %s%s\nTry dm730sim --help.\n", problem, what ? what : "");
    return 2;
}

// 0 parsed, 1 --help or --version shown, 2 bad command line.
int ParseCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            fputs(HelpText, stdout);
            return 1;
        }
        if (arg == "--version" || arg == "-V") {
            puts("dm730sim " SELVO_VERSION);
            return 1;
        }
        const char* value = nullptr;
        std::string name = arg;
        size_t eq = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = argv[i] + eq + 1;
        }
        bool takesValue = name == "--link" || name == "--device" || name == "--memory" ||
                          name == "--versions" || name == "--turnaround";
        if (takesValue && value == nullptr) {
            if (i + 1 >= argc) return Usage("missing value for ", name.c_str());
            value = argv[++i];
        }
        if (name == "--link")
            Options.linkPath = value;
        else if (name == "--device")
            Options.devicePath = value;
        else if (name == "--memory")
            Options.memoryPath = value;
        else if (name == "--versions") {
            if (ParseVersions(value) != 0)
                return Usage("bad --versions (want e.g. 3.05,1.20): ", value);
        } else if (name == "--turnaround") {
            long ms = 0;
            if (ParseNumber(value, 0, 60000, &ms) != 0) return Usage("bad --turnaround: ", value);
            Options.turnaroundNs = ms * 1000000LL;
        } else if (name == "--line-rate" || name == "--port-events" || name == "--timestamps") {
            if (value != nullptr) return Usage("no value is taken by ", name.c_str());
            if (name == "--line-rate")
                Options.lineRate = true;
            else if (name == "--port-events")
                Options.portEvents = true;
            else
                Options.timestamps = true;
        } else {
            int r = ParseFaultOption(name, value);
            if (r == 2) {
                if (i + 1 >= argc) return Usage("missing value for ", name.c_str());
                r = ParseFaultOption(name, argv[++i]);
            }
            if (r == 1) return Usage("unknown option ", arg.c_str());
            if (r != 0) return 2;
        }
    }
    if (Options.linkPath.empty() == Options.devicePath.empty())
        return Usage("give exactly one of --link PATH and --device PATH", nullptr);
    return 0;
}

void InstallSignals(sigset_t* waitMask) {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // Held blocked except inside ppoll, so a signal can never slip in between
    // the check of the flag and the wait.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    sigprocmask(SIG_BLOCK, &stops, waitMask);
    sigdelset(waitMask, SIGINT);
    sigdelset(waitMask, SIGTERM);
    sigdelset(waitMask, SIGHUP);
}

void Earliest(int64_t* wake, int64_t t) {
    if (t >= 0 && (*wake < 0 || t < *wake)) *wake = t;
}

void RunLoop(const sigset_t* waitMask) {
    while (!stopRequested) {
        int64_t now = NowNs();
        ReceiveBytes(now);
        ConsumeDueInput(now);
        CheckSilence(now);
        SendDueOutput(now);

        int64_t wake = -1;
        Earliest(&wake, NextInputDue());
        Earliest(&wake, SilenceDeadline() >= 0 ? SilenceDeadline() + 1 : -1);
        Earliest(&wake, NextOutputDue());
        struct timespec timeout;
        struct timespec* timeoutPtr = nullptr;
        if (wake >= 0) {
            int64_t wait = wake - NowNs();
            if (wait < 0) wait = 0;
            timeout.tv_sec = (time_t)(wait / 1000000000LL);
            timeout.tv_nsec = (long)(wait % 1000000000LL);
            timeoutPtr = &timeout;
        }
        struct pollfd fds[3];
        int count = LinePollFds(fds, OutputBlocked());
        if (ReportsPending()) fds[count++] = pollfd{STDOUT_FILENO, POLLOUT, 0};
        ppoll(fds, (nfds_t)count, timeoutPtr, waitMask);
        // The reader went away: nobody is driving us any more.
        if (FlushReports() != 0) stopRequested = 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    int parsed = ParseCommandLine(argc, argv);
    if (parsed != 0) return parsed == 1 ? 0 : 2;
    SetupReports();
    SetupNoise();
    // A controller answers within its time however busy the PC's machine is:
    // ask for a better share of the processor where that is allowed.
    setpriority(PRIO_PROCESS, 0, -10);
    sigset_t waitMask;
    InstallSignals(&waitMask);
    if (OpenMemory(Options.memoryPath) != 0) return 1;
    ResetDevice();
    if (OpenLine() != 0) {
        CloseMemory();
        return 1;
    }
    Report("ready %s %s",
           Options.devicePath.empty() ? Options.linkPath.c_str() : Options.devicePath.c_str(),
           LineTtyName());
    RunLoop(&waitMask);
    CloseLine(false);
    CloseMemory();
    FinishReports();
    return 0;
}

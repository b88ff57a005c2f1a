// The event lines on stdout. Tests read them from a pipe, sometimes only now
// and then: a full pipe must never hold up the line, so lines wait here until
// the pipe takes them.
#include "sim.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string pendingLines;
bool nonBlocking = false;
bool readerGone = false;
long lostLines = 0;
const size_t PendingLimit = 64u << 20;

}  // namespace

void SetupReports() {
    // Only a pipe or socket: O_NONBLOCK on a terminal would reach the shell too.
    struct stat st;
    if (fstat(STDOUT_FILENO, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) {
        int flags = fcntl(STDOUT_FILENO, F_GETFL);
        nonBlocking = flags >= 0 && fcntl(STDOUT_FILENO, F_SETFL, flags | O_NONBLOCK) == 0;
    }
}

// -1 once the reader has gone away.
int FlushReports() {
    while (!pendingLines.empty() && !readerGone) {
        ssize_t n = write(STDOUT_FILENO, pendingLines.data(), pendingLines.size());
        if (n > 0) {
            pendingLines.erase(0, (size_t)n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return 0;
        readerGone = true;
        pendingLines.clear();
    }
    return readerGone ? -1 : 0;
}

bool ReportsPending() { return nonBlocking && !pendingLines.empty() && !readerGone; }

void Report(const char* format, ...) {
    if (readerGone) return;
    // The moment of the event, not of the write: the reader may be slow.
    char stamp[32] = "";
    if (Options.timestamps) {
        int64_t now = NowNs();
        snprintf(stamp, sizeof stamp, "%lld.%06lld ", (long long)(now / 1000000000LL),
                 (long long)(now % 1000000000LL / 1000));
    }
    char line[256];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0) return;
    if ((size_t)n > sizeof line - 2) n = (int)sizeof line - 2;
    line[n] = '\n';
    if (pendingLines.size() > PendingLimit) {
        ++lostLines;
        return;
    }
    if (lostLines > 0) {
        pendingLines += stamp + ("lost " + std::to_string(lostLines)) + "\n";
        lostLines = 0;
    }
    pendingLines += stamp;
    pendingLines.append(line, (size_t)n + 1);
    FlushReports();
}

// At exit: a little time for a slow reader, never a hang.
void FinishReports() {
    for (int i = 0; i < 100 && ReportsPending(); ++i) {
        struct pollfd pfd = {STDOUT_FILENO, POLLOUT, 0};
        poll(&pfd, 1, 10);
        FlushReports();
    }
}

// Runs the simulator under a test: fork and exec with its stdout on a pipe,
// non-blocking reads of that pipe, every wait bounded.
#include "support/sim_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef DM730SIM_PATH
#define DM730SIM_PATH "dm730sim"
#endif

static long long NowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// Moves whatever the pipe holds into sim.lines. -1 once the pipe is closed.
static int DrainPipe(SimProcess& sim) {
    if (sim.outFd < 0) return -1;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(sim.outFd, buffer, sizeof buffer);
        if (n > 0) {
            sim.partial.append(buffer, (size_t)n);
            size_t end;
            while ((end = sim.partial.find('\n')) != std::string::npos) {
                sim.lines.push_back(sim.partial.substr(0, end));
                sim.partial.erase(0, end + 1);
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return 0;
        close(sim.outFd);
        sim.outFd = -1;
        return -1;
    }
}

// The event after the time stamp that --timestamps puts first ("12.345678 ").
static size_t EventStart(const std::string& line) {
    size_t digits = line.find_first_not_of("0123456789.");
    bool stamped =
        digits != std::string::npos && digits > 0 && line[digits] == ' ' && line.find('.') < digits;
    return stamped ? digits + 1 : 0;
}

static bool Matches(const std::string& line, const std::string& event) {
    size_t at = EventStart(line);
    return line.compare(at, event.size(), event) == 0 &&
           (line.size() == at + event.size() || line[at + event.size()] == ' ');
}

int WaitSimEvent(SimProcess& sim, const std::string& event, int timeoutMs, std::string* line) {
    long long deadline = NowMs() + timeoutMs;
    for (;;) {
        bool open = DrainPipe(sim) == 0;
        for (; sim.nextLine < sim.lines.size(); ++sim.nextLine) {
            if (Matches(sim.lines[sim.nextLine], event)) {
                if (line) *line = sim.lines[sim.nextLine];
                ++sim.nextLine;
                return 0;
            }
        }
        long long left = deadline - NowMs();
        if (!open || left <= 0) return -1;
        struct pollfd pfd = {sim.outFd, POLLIN, 0};
        poll(&pfd, 1, (int)(left < 50 ? left : 50));
    }
}

const std::vector<std::string>& SimLines(SimProcess& sim) {
    DrainPipe(sim);
    return sim.lines;
}

int StartSim(SimProcess& sim, const std::string& linkPath, const std::vector<std::string>& args,
             int timeoutMs) {
    StopSim(sim);
    sim = SimProcess();
    sim.linkPath = linkPath;
    std::vector<std::string> words = {DM730SIM_PATH};
    if (!linkPath.empty()) {
        words.push_back("--link");
        words.push_back(linkPath);
    }
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return -1;
    }
    if (pid == 0) {
        // Dies with the test process, and holds none of its descriptors (a
        // pty slave kept here would outlive the test's own close).
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        dup2(pipeFds[1], STDOUT_FILENO);
        int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, STDIN_FILENO);
        syscall(SYS_close_range, 3U, ~0U, 0U);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    fcntl(pipeFds[0], F_SETFL, fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
    sim.pid = pid;
    sim.outFd = pipeFds[0];
    std::string ready;
    if (WaitSimEvent(sim, "ready", timeoutMs, &ready) != 0) {
        StopSim(sim);
        return -1;
    }
    size_t lastSpace = ready.rfind(' ');
    sim.ttyPath = ready.substr(lastSpace + 1);
    return 0;
}

int StopSim(SimProcess& sim, int timeoutMs) {
    if (sim.pid <= 0) return -1;
    kill(sim.pid, SIGTERM);
    int status = 0;
    pid_t done = 0;
    long long deadline = NowMs() + timeoutMs;
    while ((done = waitpid(sim.pid, &status, WNOHANG)) == 0 && NowMs() < deadline) {
        DrainPipe(sim);
        struct timespec pause = {0, 10 * 1000000L};
        nanosleep(&pause, nullptr);
    }
    if (done == 0) {
        kill(sim.pid, SIGKILL);
        done = waitpid(sim.pid, &status, 0);
    }
    DrainPipe(sim);
    if (sim.outFd >= 0) close(sim.outFd);
    sim.outFd = -1;
    sim.pid = -1;
    if (done < 0)
        sim.exitStatus = -1;
    else if (WIFEXITED(status))
        sim.exitStatus = WEXITSTATUS(status);
    else
        sim.exitStatus = 128 + WTERMSIG(status);
    return sim.exitStatus;
}

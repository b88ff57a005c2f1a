#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "cli/system/child_process.h"

extern char** environ;

namespace {

struct Child {
    pid_t pid;
    int fds[2];  // stdout, stderr; -1 once closed
    std::string pending[2];
    int exitCode;  // -1 while running
};
std::vector<Child> Children;

void TakeLines(int child, int which, std::vector<ChildLine>* lines, bool atEnd) {
    TakeChildLines(&Children[size_t(child)].pending[which], child, which == 1, lines, atEnd);
}

void Reap(Child& child) {
    if (child.exitCode >= 0) return;
    int status = 0;
    if (waitpid(child.pid, &status, WNOHANG) != child.pid) return;
    child.exitCode = WIFEXITED(status)     ? WEXITSTATUS(status)
                     : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                           : 1;
}

}  // namespace

std::string OwnProgramPath() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, size_t(n)) : "dm730";
}

int StartChild(const std::string& program, const std::vector<std::string>& args) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return -1;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    pid_t pid = -1;
    int r = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (r != 0) {
        close(out[0]);
        close(err[0]);
        return -1;
    }
    Children.push_back(Child{pid, {out[0], err[0]}, {"", ""}, -1});
    return int(Children.size() - 1);
}

bool ReadChildLines(std::vector<ChildLine>* lines, unsigned waitMs) {
    std::vector<pollfd> watched;
    std::vector<std::pair<int, int>> owners;
    for (size_t c = 0; c < Children.size(); ++c)
        for (int which = 0; which < 2; ++which)
            if (Children[c].fds[which] >= 0) {
                watched.push_back(pollfd{Children[c].fds[which], POLLIN, 0});
                owners.push_back({int(c), which});
            }
    // Output all taken, a child not yet gone: only time can help.
    if (watched.empty()) usleep(useconds_t(waitMs) * 1000);
    if (!watched.empty() && poll(watched.data(), watched.size(), int(waitMs)) > 0) {
        for (size_t i = 0; i < watched.size(); ++i) {
            if (watched[i].revents == 0) continue;
            Child& child = Children[size_t(owners[i].first)];
            int which = owners[i].second;
            char buffer[4096];
            ssize_t n = read(watched[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                child.pending[which].append(buffer, size_t(n));
                TakeLines(owners[i].first, which, lines, false);
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                close(child.fds[which]);
                child.fds[which] = -1;
                TakeLines(owners[i].first, which, lines, true);
            }
        }
    }
    bool any = false;
    for (Child& child : Children) {
        Reap(child);
        any = any || child.exitCode < 0 || child.fds[0] >= 0 || child.fds[1] >= 0;
    }
    return any;
}

int ChildExitCode(int child) {
    if (child < 0 || size_t(child) >= Children.size()) return -1;
    Reap(Children[size_t(child)]);
    return Children[size_t(child)].exitCode;
}

void InterruptChildren() {
    for (Child& child : Children)
        if (child.exitCode < 0) kill(child.pid, SIGINT);
}

#include "support/cli_process.h"

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef DM730_PATH
#define DM730_PATH "dm730"
#endif

static long long NowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int StartCli(CliProcess& cli, const std::vector<std::string>& args, const std::string& folder) {
    cli = CliProcess();
    cli.outPath = folder + "/cli.out";
    cli.errPath = folder + "/cli.err";
    std::vector<std::string> words = {DM730_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        int in = open("/dev/null", O_RDONLY);
        int out = open(cli.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(cli.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) _exit(127);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    cli.pid = pid;
    return 0;
}

CliRun FinishCli(CliProcess& cli, int timeoutMs) {
    CliRun run = {-1, "", ""};
    if (cli.pid <= 0) return run;
    int status = 0;
    pid_t done = 0;
    long long deadline = NowMs() + timeoutMs;
    while ((done = waitpid(cli.pid, &status, WNOHANG)) == 0 && NowMs() < deadline) {
        struct timespec pause = {0, 10 * 1000000L};
        nanosleep(&pause, nullptr);
    }
    if (done == 0) {
        kill(cli.pid, SIGKILL);
        waitpid(cli.pid, &status, 0);
    } else if (WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        run.exitCode = 128 + WTERMSIG(status);
    }
    cli.pid = -1;
    run.out = ReadText(cli.outPath);
    run.err = ReadText(cli.errPath);
    return run;
}

CliRun RunCli(const std::vector<std::string>& args, const std::string& folder, int timeoutMs) {
    CliProcess cli;
    if (StartCli(cli, args, folder) != 0) return CliRun{-1, "", "not started"};
    return FinishCli(cli, timeoutMs);
}

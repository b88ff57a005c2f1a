#include "support/cli_process.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef DM730_PATH
#define DM730_PATH "dm730"
#endif

static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

int StartProgram(CliProcess& cli, std::vector<std::string> words,
                 const std::vector<std::string>& args, const std::string& folder,
                 long long fileSizeLimit) {
    cli = CliProcess{-1, folder + "/cli.out", folder + "/cli.err"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, cli.outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, cli.errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // posix_spawn has no limits of its own: the child inherits ours, set only
    // for the moment of the spawn (the test writes nothing meanwhile).
    rlimit before;
    getrlimit(RLIMIT_FSIZE, &before);
    if (fileSizeLimit >= 0) {
        rlimit limited = before;
        limited.rlim_cur = rlim_t(fileSizeLimit);
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    int r = posix_spawn(&cli.pid, argv[0], &files, nullptr, argv.data(), environ);
    if (fileSizeLimit >= 0) setrlimit(RLIMIT_FSIZE, &before);
    posix_spawn_file_actions_destroy(&files);
    return r == 0 ? 0 : -1;
}

}  // namespace

int StartCli(CliProcess& cli, const std::vector<std::string>& args, const std::string& folder,
             long long fileSizeLimit) {
    return StartProgram(cli, {DM730_PATH}, args, folder, fileSizeLimit);
}

CliRun FinishCli(CliProcess& cli, int timeoutMs) {
    CliRun run = {-1, "", ""};
    int status = 0;
    pid_t done = 0;
    for (int waited = 0; cli.pid > 0 && (done = waitpid(cli.pid, &status, WNOHANG)) == 0;
         waited += 10) {
        if (waited >= timeoutMs) {
            kill(cli.pid, SIGKILL);
            waitpid(cli.pid, &status, 0);
            break;
        }
        usleep(10000);
    }
    if (done > 0 && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (done > 0 && WIFSIGNALED(status)) run.exitCode = 128 + WTERMSIG(status);
    cli.pid = -1;
    run.out = ReadText(cli.outPath);
    run.err = ReadText(cli.errPath);
    return run;
}

CliRun RunCli(const std::vector<std::string>& args, const std::string& folder, int timeoutMs,
              long long fileSizeLimit) {
    CliProcess cli;
    if (StartCli(cli, args, folder, fileSizeLimit) != 0) return CliRun{-1, "", "not started"};
    return FinishCli(cli, timeoutMs);
}

CliRun RunCliOnTerminal(const std::vector<std::string>& args, const std::string& folder,
                        int timeoutMs) {
    // script(1) gives its command a pseudo-terminal and copies what it shows.
    std::string command = "exec '" DM730_PATH "'";
    for (const std::string& arg : args) {
        std::string quoted;
        for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += " '" + quoted + "'";
    }
    CliProcess cli;
    if (StartProgram(cli, {"/usr/bin/script", "-qec", command, "/dev/null"}, {}, folder, -1) != 0)
        return CliRun{-1, "", "not started"};
    return FinishCli(cli, timeoutMs);
}

CliRun RunCliUnprivileged(const std::vector<std::string>& args, const std::string& folder,
                          int timeoutMs) {
    std::vector<std::string> words = {DM730_PATH};
    if (geteuid() == 0)
        words = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                 DM730_PATH};
    CliProcess cli;
    if (StartProgram(cli, words, args, folder, -1) != 0) return CliRun{-1, "", "not started"};
    return FinishCli(cli, timeoutMs);
}

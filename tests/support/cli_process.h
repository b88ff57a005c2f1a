// dm730 as a child process of a test: its standard output and error caught in
// files (never a pipe it could block on), every wait bounded. It inherits the
// test's environment, SELVO_PORT_DIR included.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

struct CliRun {
    int exitCode;  // 128 + signal when killed; -1 when it had to be killed for taking too long
    std::string out;
    std::string err;
};

struct CliProcess {
    pid_t pid = -1;
    std::string outPath;
    std::string errPath;
};

// Starts DM730_PATH with args; its output lands in folder/cli.out and cli.err.
// fileSizeLimit >= 0: no file of the child grows beyond that many bytes
// (RLIMIT_FSIZE). 0 started, -1 not.
int StartCli(CliProcess& cli, const std::vector<std::string>& args, const std::string& folder,
             long long fileSizeLimit = -1);
// Waits up to timeoutMs for the end (then kills it) and reads what it printed.
CliRun FinishCli(CliProcess& cli, int timeoutMs);
CliRun RunCli(const std::vector<std::string>& args, const std::string& folder,
              int timeoutMs = 60000, long long fileSizeLimit = -1);
// On a terminal of its own, as a technician runs it: everything it showed
// there (stdout and stderr together, line ends as CR LF) is in out.
CliRun RunCliOnTerminal(const std::vector<std::string>& args, const std::string& folder,
                        int timeoutMs = 60000);
// As a user without privileges (nobody, through setpriv, when the test runs
// as root): the system then refuses and reserves ports as it does for a
// technician. What the child must reach (the folder, the ports) must let
// others in.
CliRun RunCliUnprivileged(const std::vector<std::string>& args, const std::string& folder,
                          int timeoutMs = 60000);

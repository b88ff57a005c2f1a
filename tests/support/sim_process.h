// The simulated Dm730 as a child process of a test: start it on a pty link,
// wait for the event lines it prints, stop it. Stop it in the test's teardown
// (StopSim is idempotent); a simulator also dies with the test process.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

struct SimProcess {
    pid_t pid = -1;
    int outFd = -1;                  // read end of the simulator's stdout
    std::string linkPath;            // the --link path given, or empty
    std::string ttyPath;             // the terminal from the ready line
    std::string partial;             // bytes after the last complete line
    std::vector<std::string> lines;  // every complete line so far
    size_t nextLine = 0;             // where WaitSimEvent looks next
    int exitStatus = -1;             // after StopSim: the exit status, or 128 + signal
};

// Starts DM730SIM_PATH with --link linkPath (when not empty) and args, and
// waits up to timeoutMs for its ready line. 0 ready; -1 failed (stopped again).
int StartSim(SimProcess& sim, const std::string& linkPath, const std::vector<std::string>& args,
             int timeoutMs = 5000);

// Waits up to timeoutMs for a line equal to event or starting with event and a
// space (a time stamp before it is passed over), looking only at lines after
// the last one matched. 0 found (the whole line in *line when given), -1 not
// within the time or the simulator ended.
int WaitSimEvent(SimProcess& sim, const std::string& event, int timeoutMs,
                 std::string* line = nullptr);

// Every line printed so far (reads what is waiting in the pipe, never blocks).
const std::vector<std::string>& SimLines(SimProcess& sim);

// SIGTERM, up to timeoutMs for the exit, then SIGKILL. Returns the exit status
// (0 for a clean exit), 128 + signal when killed, -1 when nothing was running.
int StopSim(SimProcess& sim, int timeoutMs = 3000);

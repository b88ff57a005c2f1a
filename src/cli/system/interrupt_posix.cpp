#include <csignal>

#include "cli/system/interrupt.h"

namespace {

volatile sig_atomic_t Interrupted = 0;

void NoteInterrupt(int) { Interrupted = 1; }

}  // namespace

void CatchInterrupt() {
    struct sigaction action = {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    // A file that reaches the size limit must fail its write and be reported
    // (exit 3, the file named), not end the program unannounced.
    signal(SIGXFSZ, SIG_IGN);
}

bool WasInterrupted() { return Interrupted != 0; }

#include <csignal>

#include "cli/interrupt.h"

static volatile sig_atomic_t Interrupted = 0;

static void NoteInterrupt(int) { Interrupted = 1; }

void CatchInterrupt() {
    struct sigaction action = {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool WasInterrupted() { return Interrupted != 0; }

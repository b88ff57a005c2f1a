// Drives a started transfer, as the window's main loop does, until its phase
// is idle.
#pragma once

enum PumpOutcome { PumpEnded = 0, PumpInterrupted = 1 };

// PumpInterrupted: Ctrl-C stopped the transfer as Esc does (phase idle, port
// purged); the file is left to the caller.
PumpOutcome PumpTransfer();

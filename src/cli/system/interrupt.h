// Ctrl-C stops a transfer as Esc does in the window: it is only noted here,
// and the transfer loop stops at its next step.
#pragma once

void CatchInterrupt();
bool WasInterrupted();

// The three action commands of the choice menu, apart from the window.
#pragma once

// Sets the action, reopens the port and, when one is open, starts the transfer.
void RunActionCommand(int action);

// The two commands of the port menu, apart from the window.
#pragma once

// "&Auto" and port item i. A running transfer is stopped first, as the stop
// command stops it.
void RunPortAuto();
void RunPortChoice(int index);

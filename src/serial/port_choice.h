// The port menu's choices, on the port table and the open port.
#pragma once

// The "&Auto" item, and port item i of the port menu.
void ChoosePortAuto();
void ChoosePort(int index);

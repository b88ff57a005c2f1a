// Which COM port is in use: opening by index, finding the controller, reopening.
#pragma once

extern int currentPort;

// 0 open and configured; -2 not (then no port is open).
int OpenPort(int quiet);
// 1 the controller answered on some port (left open, its item marked); 0 none.
int DetectDevice();
// 1 a port is open afterwards; 0 none (the not-found message has been shown).
int ReopenPort();
// The "&Auto" item, and port item i of the port menu.
void ChoosePortAuto();
void ChoosePort(int index);

// The message of a search that found no controller, owned by the main window.
void ShowDeviceNotFound();

extern const char DeviceNotFoundText[];
extern const char DeviceNotFoundCaption[];

// Which COM port is in use: opening by index, finding the controller, reopening.
#pragma once

extern int currentPort;

enum PortOpenOutcome { PortOpened = 0, PortNotOpened = -2 };
// Whether a port that cannot be opened or configured is reported to the operator.
enum OpenManner { OpenReportingFailure = 0, OpenQuietly = 1 };
enum DetectOutcome { NoDeviceFound = 0, DeviceFound = 1 };
enum ReopenOutcome { NoPortReady = 0, PortReady = 1 };

// Index i names a slot of the port table before its empty end.
bool IsListedPort(int index);
// Opens and configures the port currentPort names; when that fails no port is open.
int OpenPort(int manner);
// DeviceFound: the controller answered on some port (left open, its mark set).
int DetectDevice();
// PortReady: a port is open afterwards; otherwise the not-found message has
// been shown.
int ReopenPort();

// The message of a search that found no controller.
void ShowDeviceNotFound();

extern const char DeviceNotFoundText[];
extern const char DeviceNotFoundCaption[];

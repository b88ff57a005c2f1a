// Which COM port is in use: opening by index, finding the controller, reopening.
#pragma once

// PortOpenOutcome, the reasons a port did not open, is the channel's.
#include "serial/serial_channel.h"

extern int currentPort;

// Whether a port that cannot be opened or configured is reported to the operator.
enum OpenManner { OpenReportingFailure = 0, OpenQuietly = 1 };
// As every outcome of the program: 0 is success.
enum DetectOutcome { DeviceFound = 0, NoDeviceFound = 1 };
enum ReopenOutcome { PortReady = 0, NoPortReady = 1 };

// Index i names a slot of the port table before its empty end.
bool IsListedPort(int index);
// Opens and configures the port currentPort names; when that fails no port is
// open, and the outcome says why (PortMissing for an index the table does not
// list), with the system's code in PortOpenSystemError().
PortOpenOutcome OpenPort(OpenManner manner);
// DeviceFound: the controller answered on some port (left open, its mark set).
DetectOutcome DetectDevice();
// PortReady: a port is open afterwards; otherwise the not-found message has
// been shown.
ReopenOutcome ReopenPort();

// The message of a search that found no controller.
void ShowDeviceNotFound();

extern const char DeviceNotFoundText[];
extern const char DeviceNotFoundCaption[];

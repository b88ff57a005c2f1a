// Which COM port is in use: opening by index, finding the controller, reopening.
#pragma once

// PortOpenOutcome, the reasons a port did not open, is the channel's.
#include <cstdint>

#include "protocol/frames.h"
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

// What the latest DetectDevice met on port index: PortOpened for a port that
// opened (whether or not the controller answered there), otherwise why it did
// not open, with the system's code; PortMissing for a port it did not try.
// For a port that opened: what the probe's read took (the reply, or whatever
// came instead) and the faults the driver counted while it listened.
struct PortAttempt {
    PortOpenOutcome outcome;
    unsigned long systemError;
    unsigned long replyCount = 0;
    uint8_t reply[IdentReplySize] = {};
    bool faultsCounted = false;
    LineErrorCounts faults = {};
};
PortAttempt DetectionAttempt(int index);
// A front end that can be told to stop (Ctrl-C) names how it finds out: the
// search then ends at the probe's next look at the line, without the ports
// after it. Null (the start): the search always runs to its end.
typedef bool (*StopRequest)();
void StopDetectionWhen(StopRequest stopRequested);

// The message of a search that found no controller.
void ShowDeviceNotFound();

extern const char DeviceNotFoundText[];
extern const char DeviceNotFoundCaption[];

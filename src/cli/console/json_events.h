// dm730 --json: JSON Lines on stdout for programs (a console's own tools, a
// test station), ASCII only so that no code page can garble them. The first
// line names the schema and its version; every other line is one event. The
// schema is schemas/dm730-events.schema.json; within a major version only
// new keys are added.
#pragma once
#include <string>

#include "cli/console/messages.h"

extern const char EventSchemaName[];     // "dm730-events"
extern const char EventSchemaVersion[];  // "1.1"

// The first line; from now on stdout carries the events alone. program:
// "dm730 0.7.0".
void StartEvents(const std::string& program, const char* command);
bool EventsOn();

// The controller answered on port with these versions (UTF-8).
void EventControllerFound(const std::string& port, const std::string& firmware,
                          const std::string& second);
// A port of `dm730 ports`, with what the system knows of it.
void EventPortListed(const std::string& port, const std::string& transport,
                     const std::string& usbId, const std::string& product,
                     const std::string& serialNumber, const std::string& location,
                     const std::string& byId, const std::string& hold, const std::string& selector);
// The blocks the region's transfer about to start moves, counted from the
// region's first block as its progress is: a write or a verify ends with its
// file, well before the region does. 0: the core's own count.
void ExpectRegionBlocks(unsigned long blocks);
// The running transfer moved on (read from TransferJob): at most twice a
// second, and always when its last block is done.
void EventProgress();
// The block in hand is being tried again (read from TransferJob).
void EventRetry();
// One difference of a comparison; fileOffset -1 for a byte past the file's end.
void EventDifference(unsigned long block, unsigned blocks, int position, long fileOffset,
                     int fileByte, int deviceByte);
// A region's transfer is over, however it ended.
void EventRegionEnd(unsigned long blocksDone, int exitCode);
// What the core reported as the failure (Windows-1250, its context lines
// after it), kept for the result.
void NoteFailureDetail(const std::string& text);
// The last line: the exit code, its stable code and what it means in Polish
// and in English, and the failure's own text where there was one.
void EventResult(int exitCode);

// The stable code of an exit code ("line-failed"), and its meaning.
const char* ResultCode(int exitCode);
MessageId ResultMeaning(int exitCode);

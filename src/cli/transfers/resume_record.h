// What an interrupted command leaves for its --resume: the controller it
// worked with and, for a restore, where it stopped. A resume goes on only on
// that controller.
#pragma once
#include <string>

#include "protocol/regions.h"

struct ResumeRecord {
    std::string port;  // as we keep it
    // As the window shows them, in UTF-8.
    std::string firmwareVersion;
    std::string secondVersion;
    // A restore's: the region in hand, the blocks of it the controller
    // confirmed, whether its write is whole (its read-back is not), and
    // whether the written regions are read back.
    DataKind kind = KindFirmware;
    unsigned long blocksWritten = 0;
    bool regionWritten = false;
    bool readBack = true;
};

// Written beside path and renamed over it: a record is whole or not there.
// The system's reason when it could not be written (errno, or GetLastError()
// on Windows for the rename), 0 when it was.
unsigned long WriteResumeRecord(const std::string& path, const ResumeRecord& record);

enum ResumeRecordOutcome { RecordRead = 0, RecordMissing = 1, RecordInvalid = 2 };
// A record from a file that may have been changed by anyone: every key is
// checked, and RecordInvalid when one is missing or wrong.
ResumeRecordOutcome ReadResumeRecord(const std::string& path, ResumeRecord* record);

// A read gathers its region in FILE.part and puts it in FILE's place only once
// the whole region has arrived: a failed or stopped read never destroys what
// the user had, and keeps the blocks it did read for a later --resume.
// Nothing here removes or cuts a file the user has without --force.
#pragma once
#include <string>

#include "cli/console/exit_codes.h"
#include "cli/system/held_file.h"
#include "protocol/regions.h"

// FILE.part; when that name would pass the limit on a file name, the name is
// cut (never inside a UTF-8 character) and "~" with 8 hex digits of a hash of
// the whole name goes before ".part", so the same FILE always gets the same part.
std::string PartPathOf(const std::string& path);
// Beside FILE.part, by the same rule: FILE.part.json, the record of the
// controller its blocks came from (a ResumeRecord), so that --resume never
// finishes them from another.
std::string PartRecordPathOf(const std::string& path);
// 32 bits of FNV-1a: short, stable on every system, for telling names apart.
unsigned long ShortHash(const std::string& text);

struct ReadChoice {
    bool force;          // FILE and FILE.part may be replaced
    bool resume;         // an existing FILE.part is continued
    bool resumeOffered;  // the command takes --resume (named in the refusal)
};

// Before any port is opened: whether a read of the region of kind may go into
// path, and from which block of the region (*fromBlock, 0: the whole region).
// A part to go on in is opened here, never through a link, and held in *part:
// the file checked is the file the read goes on in. Nothing on disk changes;
// a refusal is shown with its reason (exit 3).
ExitCode CheckReadTarget(const std::string& path, DataKind kind, const ReadChoice& choice,
                         unsigned* fromBlock, HeldFile* part);
// Makes the part the read starts into: from block 0 a new empty FILE.part,
// created exclusively (never through a link; an old part, or a link in its
// place, is removed first with its record, which CheckReadTarget allows only
// with --force) and held in *part, which the read writes through; from a
// later block the part CheckReadTarget holds stays as it is. A failure is
// shown (exit 3).
ExitCode PreparePartFile(const std::string& path, unsigned fromBlock, HeldFile* part);
// After a read that did not end whole: that path is as it was, and how many
// blocks its .part holds.
void ReportPartFile(const std::string& path);
// The whole region is in the held part, which replaces path by a rename with
// path's permissions. ExitFileFailed, with the reason shown, when it cannot,
// or when the part's name no longer names the file held (swapped, a link).
ExitCode PutPartInPlace(const std::string& path, HeldFile& part);

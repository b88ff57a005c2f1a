// A file dm730 holds open from the moment it made or checked it: what it
// writes, reads back, hashes and at last renames into place is that file,
// whatever happens to its name meanwhile (a link planted there, the file
// swapped for another). Nothing is reopened by name.
#pragma once
#include <iosfwd>
#include <memory>
#include <streambuf>
#include <string>

#include "cli/system/files.h"

struct HeldFile {
    std::string path;
    // The system's descriptor (on Windows, the C library's over the handle),
    // -1 when none is held; the buffer owns it and closes it with itself.
    int descriptor = -1;
    std::unique_ptr<std::streambuf> buffer;
    // Reads and writes of the file, also by the core's transfer.
    std::unique_ptr<std::iostream> stream;
};

// A new empty file at path, made exclusively, never through a link: fails
// when anything is there (the system's reason in LastFileError()).
FileOutcome CreateHeldFile(const std::string& path, HeldFile* file);
// The regular file at path, for reading and writing, never through a link.
FileOutcome OpenHeldFile(const std::string& path, HeldFile* file);
// Whether path names the file held (not a link, not another file put there).
bool IsHeldAt(const HeldFile& file, const std::string& path);
// The file takes the permissions of the one at path, which it is to replace
// (nothing happens where there is none, or on Windows).
void TakePermissionsOf(const HeldFile& file, const std::string& path);
// Its size, and its whole content, through the descriptor.
long long HeldFileSize(HeldFile& file);
FileOutcome ReadHeldFile(HeldFile& file, std::string* bytes);
// The text as its whole content (the file is new and empty).
FileOutcome WriteHeldFile(HeldFile& file, const std::string& text);
void CloseHeldFile(HeldFile* file);
// For the systems' openings: the streams over a descriptor just opened.
void HoldDescriptor(HeldFile* file, const std::string& path, int descriptor);

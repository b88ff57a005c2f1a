// The few file operations the streams of the core do not offer.
#pragma once
#include <string>

enum FileOutcome { FileOperationDone = 0, FileOperationFailed = -1 };

// Renames from to to, replacing what is there (a link at to is replaced, never followed).
FileOutcome MoveFileOver(const char* from, const char* to);
// The folder and every missing folder above it; fails only when path itself
// cannot be made.
FileOutcome MakeFolderWithParents(const std::string& path);
// The size in bytes, or -1 when the file cannot be opened.
long long FileSizeOf(const char* path);
// The last part of a path, after its last separator of either system
// ("ttyUSB0" of "/dev/ttyUSB0", "COM3" of "\\.\COM3").
std::string NameInPath(const std::string& path);
// folder + separator + name, the separator only when the folder lacks one.
std::string PathInFolder(const std::string& folder, const char* name);

// What a path names. Without followLinks a symbolic link (on Windows any
// reparse point) is PathLink, whether or not its target exists.
enum PathKind { PathMissing = 0, PathRegular, PathLink, PathFolder, PathOther };
PathKind KindOfPath(const char* path, bool followLinks);
// What a whole file holds, read at once. A folder, a pipe or a device is
// refused before anything is read (a pipe put there never holds the read);
// a file longer than limit bytes gives its first limit + 1 only.
enum ReadFileOutcome {
    WholeFileRead = 0,
    WholeFileMissing,
    WholeFileNotRegular,
    WholeFileUnreadable
};
ReadFileOutcome ReadWholeFile(const char* path, unsigned long long limit, std::string* bytes);
// A new empty file at path, never through a link: fails when anything is there.
FileOutcome CreateFileExclusively(const char* path);
// Removes a file, or a link as a link (its target stays as it is).
FileOutcome RemoveFileOrLink(const char* path);
// What the system said about the latest of these operations that failed
// (errno or GetLastError), and the system's own words for such a code.
unsigned long LastFileError();
// A failure of the caller's with the system's code, kept as LastFileError().
FileOutcome RecordFileError(unsigned long code);
std::string SystemErrorText(unsigned long code);

// path from the root, for telling one folder from another whatever the
// current folder; path itself when the system cannot say.
std::string AbsolutePath(const std::string& path);
// Where dm730 keeps what it must find again in a later run: $XDG_STATE_HOME/dm730
// (else ~/.local/state/dm730) on Linux, %LOCALAPPDATA%\dm730 on Windows; made
// when missing. Empty when there is no such place.
std::string UserStateFolder();

// The longest name (the last part of a path) the file systems we meet take, in bytes.
const size_t FileNameLimit = 255;

// Turning the operator's action and data kind into a running transfer.
#pragma once

#include <iosfwd>

#include "protocol/regions.h"

// The buffers of the open-file dialog record; the file name is never cleared,
// so the dialog and the repeat command always find the last chosen path.
extern char DialogTitle[35];
extern char DialogFileName[260];
extern char DialogFilter[40];

// Running: the phase is PhaseEscapeSent. Failed: refused or failed with a
// message, or the dialog was cancelled. Out of range: the action or the kind is
// outside its table (no message). Declined: the operator would not overwrite,
// or the file to send or verify does not exist.
// As every outcome of the program: 0 is success. How it failed is in
// TransferJob.failure, as the reported failure said.
enum StartOutcome { StartRunning = 0, StartFailed = -1, StartOutOfRange = -2, StartDeclined = -3 };

// The file comes from the open-file dialog or, for the repeat command
// (repeatPending set), is the last path left in the file-name buffer.
StartOutcome StartTransfer();
// The same start with a file the caller chose: no dialog whatever repeatPending
// says, the dialog's extension rule, and the file-name buffer keeps the
// dialog's last path.
StartOutcome StartTransferWithFile(const char* path);
// Which blocks of the region a transfer moves: from fromBlock (counted within
// the region from 0), blocks of them (0: up to the region's end). A write or a
// verify takes them from the file's position of fromBlock on; a read keeps
// the blocks before it in the file as they are (fromBlock 0: the file is cut
// first).
struct BlockSpan {
    unsigned fromBlock;
    unsigned blocks;
};
const BlockSpan WholeRegion = {0, 0};

// The same, with the extension rule applied to the name the operator gave
// rather than to the file opened (a read that gathers the region in a scratch
// file "scenes.usr.part" before it becomes "scenes.usr"), over span of the
// region. Out of range when the span does not lie inside the region.
StartOutcome StartTransferIntoFile(const char* openedPath, const char* givenName,
                                   BlockSpan span = WholeRegion);
// A read into a target the caller prepared (created exclusively, or the part
// an earlier read left): no question about overwriting it.
StartOutcome StartReadIntoPreparedFile(const char* openedPath, const char* givenName,
                                       BlockSpan span);
// The same over a file the caller holds open, shown as path: a part it
// created exclusively and keeps open, or the bytes of a backup file it read
// once and checked. Nothing is opened or probed by name, and the caller
// closes the file once the transfer is over (ReleaseTransferFiles). A read
// from block 0 takes the file as empty.
StartOutcome StartTransferOnFile(std::iostream& file, const char* path, const char* givenName,
                                 BlockSpan span = WholeRegion);
// The extension rule of every start: the kind's own extension, or "bin" for
// user scenes, in any case of letters.
bool PathFitsKind(DataKind kind, const char* path);

// The start's fixed failure texts.
extern const char FileOpenFailureText[];
extern const char ExtensionChangedText[];

// The repeat command: the last file, the current action and data kind.
void RepeatTransfer();

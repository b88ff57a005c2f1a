// The transfer's own helpers: the block file, the verification of a block and
// the cut of the read's target. Only src/transfer (and the tests) use them;
// the front ends go through transfer.h and start.h.
#pragma once
#include <cstdint>
#include <iosfwd>

#include "transfer/transfer.h"

// As every outcome of the program: 0 is success.
enum BlockFileOutcome { BlockFileDone = 0, BlockFileFailed = -1 };

// Block file I/O at the position of nextBlock in the transfer's file, each
// with up to 20 attempts.
const int FileBlockAttempts = 20;
// 256 bytes of inputFile into block; *fileBytes says how many came from the
// file: fewer than BlockSize at its end, where the rest of the block is
// filled with zeros.
BlockFileOutcome ReadFileBlock(uint8_t block[BlockSize], unsigned* fileBytes);
// The transfer's file back at the start of the block in hand, for a block
// that is tried again.
void PositionFileAtBlock();
// The file the transfer reads from (write, verify) or writes to (read): the
// caller's, when it handed one over, else inputFile or outputFile. Closing
// the caller's file only stops its use; the caller closes it.
std::istream& SourceFile();
std::ostream& TargetFile();
bool IsSourceOpen();
void CloseSourceFile();
void CloseTargetFile();
// A file the caller holds open, shown as path, for the transfer to use
// instead of opening one; null: the transfer's own streams again.
void UseCallersFile(std::iostream* file, const char* path);
// Bytes 0..255 of the frame area to outputFile, flushed so a failing disk is
// noticed at this block rather than lost at the close.
BlockFileOutcome WriteFileBlock();
// The texts of a block that could not be read from or written to the file
// after every attempt.
extern const char FileReadFailureText[];
extern const char FileWriteFailureText[];

// The file to send or compare, opened for reading as inputFile.
BlockFileOutcome OpenSourceFile(const char* path);
// The read's target, opened by the start without cutting it: a transfer that
// never hears the device leaves the operator's file as it was. Once the device
// has answered the identification request, the file is cut to nothing and
// the blocks follow.
BlockFileOutcome OpenTargetFile(const char* path);
BlockFileOutcome CutTargetFile();
// The path of the file the transfer's action uses (the target for a read,
// the source otherwise), as it was opened.
const char* TransferFilePath();
// errno of the latest file operation above that failed; 0 when none was set.
unsigned long FileSystemError();

// Compares fileBlock with the received block, asking the operator at each
// difference: compared to the end, or stopped by the operator (then the phase
// is idle, inputFile closed and the failure FailureStopped).
// fileBytes: how many of fileBlock came from the file; a difference after them
// lies in the zero fill past the file's end.
enum VerifyOutcome { BlockCompared = 0, VerifyStopped = -1 };
VerifyOutcome VerifyBlock(const uint8_t fileBlock[BlockSize], unsigned fileBytes);

// Which stream a failure releases.
enum FileToClose { CloseTransferFile, CloseInputFile, CloseOutputFile };
// The reply of the phase in hand failed its check: the block is tried again
// where that is allowed (BeginBlockRetry), or the transfer fails with the
// stage's prefix and the check's detail as its text, file closed.
void FailReply(LineStage stage, ReplyCheck check, FileToClose file);
// The same without a retry.
void FailOnLine(LineStage stage, ReplyCheck check, FileToClose file);
extern const char TransferFailurePrefix[];

// Block retries (block_retry.cpp). The identification reply a transfer began
// with, for the retries to compare theirs with.
void RememberIdentReply();
// A failed exchange of the block in hand that another try may mend: true when
// a retry has begun (the phase is PhaseRetryQuiet), false when the failure
// stands (no retries allowed or left, or a refusal).
bool BeginBlockRetry(ReplyCheck failed);
// The retry phases' work once their record is done.
void StepRetryQuiet(unsigned long count);
void StepRetryEscSent(unsigned long count);
void StepRetryIdent(unsigned long count);

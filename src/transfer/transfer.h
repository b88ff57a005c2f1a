// The one transfer of the program: its state and the state machine that the
// idle pump drives one phase at a time.
#pragma once
#include <cstdint>
#include <fstream>

// The job's kind is a DataKind, its action a TransferAction.
#include "protocol/frames.h"
#include "protocol/regions.h"

enum TransferPhase {
    PhaseIdle = 0,
    PhaseEscapeSent = 1,
    PhaseIdentReply = 2,
    PhaseSendCommand = 3,
    PhaseCommandSent = 4,
    PhaseCommandAck = 5,
    PhaseBlockSent = 6,
    PhaseBlockAck = 7,
    PhaseBlockReceive = 8,
    PhaseBlockDone = 9,
};

struct TransferJobRecord {
    int32_t kind;
    int32_t action;
    int32_t phase;
    int32_t lastChecksum;
    uint16_t nextBlock;
    uint16_t blocksLeft;
    uint16_t firstBlock;
    std::ifstream inputFile;   // opened binary: no newline translation
    std::ofstream outputFile;  // opened binary; cut once the device has answered
    int32_t repeatPending;
};
extern TransferJobRecord TransferJob;

// One step for the pump message carrying phase p; nothing for p = 0, p > 9, or
// a p that is no longer the transfer's phase (a message left over from before
// a stop or a new start).
void StepTransfer(unsigned p);
// Whether the latest step returned because the operation it polled was still
// pending. Only then may the pump wait for the line before its next step.
bool StepFoundPending();

// The stop command: the phase goes idle, the port is purged, the window repainted.
void StopTransfer();

// Block file I/O at the position of nextBlock in the transfer's file, each
// with up to 20 attempts.
enum BlockFileOutcome { BlockFileDone = 0, BlockFileFailed = -1 };
const int FileBlockAttempts = 20;
// 256 bytes of inputFile into block; at the end of the file the rest of the
// block is filled with zeros and *endOfFile is set.
int ReadFileBlock(uint8_t block[256], bool* endOfFile);
// Bytes 0..255 of the frame area to outputFile, flushed so a failing disk is
// noticed at this block rather than lost at the close.
int WriteFileBlock();
// What a failed identification reply's text begins with.
extern const char IdentFailurePrefix[];
// The texts of a block that could not be read from or written to the file
// after every attempt.
extern const char FileReadFailureText[];
extern const char FileWriteFailureText[];

// The read's target, opened by the start without cutting it: a transfer that
// never hears the device leaves the operator's file as it was. Once the device
// has answered the identification request, the file is cut to nothing and
// the blocks follow.
int OpenTargetFile(const char* path);
int CutTargetFile();

// Compares fileBlock with the received block, asking the operator at each
// difference: compared to the end, or stopped by the operator (then the phase
// is idle and inputFile closed).
enum VerifyOutcome { BlockCompared = 0, VerifyStopped = -1 };
int VerifyBlock(const uint8_t fileBlock[256]);

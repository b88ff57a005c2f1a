// The one transfer of the program: its state and the state machine that the
// idle pump drives one phase at a time. What the front ends use; the block
// file, the verification and the cut are in transfer_internal.h.
#pragma once
#include <cstdint>
#include <fstream>

// The job's kind is a DataKind, its action a TransferAction.
#include "operator/failure.h"
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
    // A block's exchange failed and is tried again (only when the front end
    // allows retries; the window never does): the line must fall silent, the
    // controller answer the identification request as before, and the block's
    // command goes again.
    PhaseRetryQuiet = 10,
    PhaseRetryEscSent = 11,
    PhaseRetryIdent = 12,
};
const unsigned LastTransferPhase = PhaseRetryIdent;

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
    // Why the latest transfer ended before its region did, or FailureNone
    // while it runs and when it ran to its end. Set where it ends: a failure
    // (also reported with its text), or FailureStopped by the operator.
    FailureKind failure;
    // How often a block whose exchange failed on the line is tried again
    // before the transfer fails; set by the front end, 0 at program start
    // (the window's behaviour: one failure ends the transfer).
    int32_t blockRetries;
    // Of the running transfer: the retries of the block in hand, and how many
    // blocks needed any.
    int32_t retriesOfBlock;
    int32_t blocksRetried;
    // Writing: the data frame of the block in hand has gone out, so the
    // controller may hold it although no answer confirmed it.
    bool blockFrameSent;
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
// Both of the transfer's streams closed, and a file the caller handed over no
// longer used: for a front end that is done with a transfer however it ended.
void ReleaseTransferFiles();

// What a failed identification reply's text begins with.
extern const char IdentFailurePrefix[];

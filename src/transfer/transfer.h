// The one transfer of the program: its state, the shared byte area and the
// state machine that the idle pump drives one phase at a time.
#pragma once
#include <cstdint>
#include <fstream>

enum DataKind { KindFirmware = 0, KindLibraries = 1, KindScenes = 2 };

enum TransferAction { ActionWriteToDevice = 0, ActionReadFromDevice = 1, ActionVerify = 2 };

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
    std::ofstream outputFile;  // opened binary and truncated
    int32_t repeatPending;
};
extern TransferJobRecord TransferJob;

// One contiguous area: frames at its start, then the texts the display shows.
struct IoBufferArea {
    uint8_t frameArea[260];
    char firmwareVersionText[6];
    char secondVersionText[6];
    char defaultExtension[4];
};
extern IoBufferArea IoBuffer;

struct DeviceRegion {
    uint16_t firstBlock;
    uint16_t blockCount;
};
const int DeviceBlockCount = 4096;
const int BlockSize = 256;
extern const DeviceRegion RegionTable[3];

// One step for the pump message carrying phase p; nothing for p = 0 or p > 9.
void StepTransfer(unsigned p);
// Whether the latest step returned because the operation it polled was still
// pending. Only then may the pump wait for the line before its next step.
bool StepFoundPending();

// The stop command: the phase goes idle, the port is purged, the window repainted.
void StopTransfer();

// Block file I/O at the position of nextBlock in the transfer's file, each
// with up to 20 attempts; 0 done, -1 failed.
const int FileBlockAttempts = 20;
// 256 bytes of inputFile into block; at the end of the file the rest of the
// block is filled with zeros and *endOfFile is set.
int ReadFileBlock(uint8_t block[256], bool* endOfFile);
// Bytes 0..255 of the frame area to outputFile, flushed so a failing disk is
// noticed at this block rather than lost at the close.
int WriteFileBlock();

// Compares fileBlock with the received block, asking the operator at each
// difference. 0 compared to the end; -1 the operator stopped the transfer
// (then the phase is idle and inputFile closed).
int VerifyBlock(const uint8_t fileBlock[256]);

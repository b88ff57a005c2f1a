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

// The stop command: the phase goes idle, the port is purged, the window repainted.
void StopTransfer();

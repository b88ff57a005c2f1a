// The one byte area of the program: the channel reads into its start and
// writes from it, the frames are built and checked there in place, and the
// display shows the texts behind them.
#pragma once
#include <cstdint>

struct IoBufferArea {
    uint8_t frameArea[260];
    char firmwareVersionText[6];
    char secondVersionText[6];
    char defaultExtension[4];
};
extern IoBufferArea IoBuffer;

// What the version texts say until a controller has answered: set before
// main, and again by ResetVersionTexts.
extern const char VersionUnknownText[];
void ResetVersionTexts();

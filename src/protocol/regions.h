// The device's block memory and the three regions of it that can be transferred.
#pragma once
#include <cstdint>

enum DataKind { KindFirmware = 0, KindLibraries = 1, KindScenes = 2 };

struct DeviceRegion {
    uint16_t firstBlock;
    uint16_t blockCount;
};
const int DeviceBlockCount = 4096;
const int BlockSize = 256;
extern const DeviceRegion RegionTable[3];

// The region of a kind; none (0, 0) for a kind outside the table.
DeviceRegion LookUpRegion(int kind);

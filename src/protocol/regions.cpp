#include "protocol/regions.h"

// Firmware, scanner libraries, user scenes: together the whole block memory.
const DeviceRegion RegionTable[3] = {{0, 512}, {512, 384}, {896, 3200}};

DeviceRegion LookUpRegion(int kind) {
    if (kind < KindFirmware || kind > KindScenes) return DeviceRegion{0, 0};
    return RegionTable[kind];
}

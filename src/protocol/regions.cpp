#include "protocol/regions.h"

#include <cstring>

// Firmware, scanner libraries, user scenes: their regions together cover the
// whole block memory.
const DataKindFacts DataKindTable[DataKindCount] = {
    {{0, 512}, {"upg", nullptr}, "Aktualizacje FirmWare", "firmware", "firmware.upg"},
    {{512, 384}, {"lib", nullptr}, "Biblioteki", "libraries", "libraries.lib"},
    {{896, 3200}, {"usr", "bin", nullptr}, "Sceny użytkownika", "scenes", "scenes.usr"},
};

bool IsDataKind(long value) { return value >= KindFirmware && value <= KindScenes; }

const DataKindFacts& FactsOf(DataKind kind) { return DataKindTable[kind]; }

DeviceRegion LookUpRegion(DataKind kind) {
    return IsDataKind(kind) ? DataKindTable[kind].region : DeviceRegion{0, 0};
}

unsigned long RegionBytes(DataKind kind) {
    return (unsigned long)LookUpRegion(kind).blockCount * BlockSize;
}

bool KindOfWord(const char* word, DataKind* kind) {
    for (DataKind k : AllDataKinds) {
        if (std::strcmp(word, DataKindTable[k].word) != 0) continue;
        *kind = k;
        return true;
    }
    return false;
}

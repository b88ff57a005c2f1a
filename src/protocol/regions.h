// The device's block memory, the three regions of it that can be transferred,
// and everything the program knows of each kind of data: one table, so a fact
// about a kind is written once.
#pragma once
#include <cstdint>

enum DataKind { KindFirmware = 0, KindLibraries = 1, KindScenes = 2 };
const int DataKindCount = 3;
// For walking every kind in table order.
const DataKind AllDataKinds[DataKindCount] = {KindFirmware, KindLibraries, KindScenes};

struct DeviceRegion {
    uint16_t firstBlock;
    uint16_t blockCount;
};
const int DeviceBlockCount = 4096;
const int BlockSize = 256;

struct DataKindFacts {
    DeviceRegion region;
    // The extensions of its files, without the dot: the file dialog's default
    // first, then the others it accepts; a null ends the list.
    const char* extensions[3];
    // What the file dialog's filter calls its files.
    const char* filesDescription;
    // The word for it on the command line and in a backup's manifest, in
    // English as scripts and file names spell the regions.
    const char* word;
    // The file a backup keeps it in.
    const char* backupFileName;
};
extern const DataKindFacts DataKindTable[DataKindCount];

bool IsDataKind(long value);
// The facts of a kind; a value outside the table is the caller's fault.
const DataKindFacts& FactsOf(DataKind kind);
// The region of a kind; none (0, 0) for a value outside the table.
DeviceRegion LookUpRegion(DataKind kind);
// The region's size in bytes.
unsigned long RegionBytes(DataKind kind);
// The kind whose word this is; false when none is.
bool KindOfWord(const char* word, DataKind* kind);

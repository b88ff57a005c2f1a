// What a backup folder says of itself: manifest.json (which controller, when,
// and each region's file with its size and SHA-256) and SHA256SUMS beside it,
// and the check of a folder against its manifest before anything is sent.
#pragma once
#include <ctime>
#include <string>

#include "cli/backup/sha256.h"
#include "cli/system/system_ports.h"
#include "protocol/regions.h"

extern const char ManifestFileName[];  // "manifest.json"
extern const char SumsFileName[];      // "SHA256SUMS"

struct ManifestRegion {
    std::string file;  // a bare name inside the backup folder
    unsigned firstBlock = 0;
    unsigned blocks = 0;
    unsigned long long bytes = 0;
    std::string sha256;  // 64 lower-case hexadecimal digits
};

// The adapter the controller was found on, as the system described it; empty
// texts where it did not know. Manifests written before it existed have none
// and restore as before.
struct ManifestAdapter {
    std::string transport;  // "usb", "native", "bluetooth", "pty", "unknown"
    std::string usbId;      // "0403:6001"
    std::string product;
    std::string serialNumber;
    std::string location;
    std::string byId;
};

// The texts are UTF-8, as JSON is: the caller converts the controller's
// version texts and a Windows port name (Utf8FromCp1250) before writing, and
// a bad UTF-8 byte is written as U+FFFD rather than refused.
struct BackupManifest {
    std::string program;  // "dm730 <version>"
    std::string created;  // UtcTimestamp()
    std::string port;
    bool hasAdapter = false;
    ManifestAdapter adapter;
    std::string firmwareVersion;
    std::string secondVersion;
    ManifestRegion regions[3];  // by DataKind
};

ManifestAdapter AdapterOf(const PortIdentity& port);

// ISO 8601 in UTC to the second: "2026-12-08T07:02:32Z".
std::string UtcTimestamp(std::time_t when);

// The manifest's entry for the region of kind kept in the file name, from that
// file's digest: its size, and the blocks it fills from the region's first.
ManifestRegion DescribeRegionFile(DataKind kind, const char* name, const Sha256Digest& digest);

// Keys in a fixed order, 2-space indent, a line end after the closing brace.
std::string ManifestText(const BackupManifest& manifest);
// "<sha256>  <file>\n" per region, as sha256sum writes it, so that
// "sha256sum -c SHA256SUMS" in the folder checks every file.
std::string Sha256SumsText(const BackupManifest& manifest);

// The manifest is read from a folder that may come from anywhere: every key is
// checked before any of it is used, and a refusal says which one is wrong.
enum ManifestOutcome {
    ManifestValid = 0,
    ManifestMissing = 1,        // no manifest.json in the folder
    ManifestUnreadable = 2,     // not a regular file, too long, or a read failed
    ManifestNotJson = 3,        // not JSON text (the byte where it goes wrong is named)
    ManifestKeyMissing = 4,     // a key or a region is absent
    ManifestWrongType = 5,      // a key holds another type than its own
    ManifestUnknownRegion = 6,  // "regions" names a region the controller does not have
    ManifestBadFileName = 7,    // not a bare name in the folder: a separator, "..", ...
    ManifestBadValue = 8,       // a kind, first block, block count or digest that cannot be
    ManifestDoesNotFit = 9,     // empty, or more than its region holds
};

// problem: Windows-1250 like every text, naming the key ("regions.scenes.bytes");
// a file name quoted from the manifest is as the manifest holds it, UTF-8
// (the names a backup writes are ASCII).
ManifestOutcome ParseManifest(const std::string& text, BackupManifest* manifest,
                              std::string* problem);
// folder/manifest.json; problem starts with that path.
ManifestOutcome ReadManifestFile(const std::string& folder, BackupManifest* manifest,
                                 std::string* problem);

enum FolderCheckOutcome {
    FolderMatches = 0,
    FolderFileMissing = 1,
    FolderNotRegularFile = 2,  // a folder, a pipe, a device where a file is named
    FolderFileUnreadable = 3,  // it cannot be opened or read
    FolderDoesNotFit = 4,      // empty, or more than its region holds
    FolderSizeDiffers = 5,     // the file's size is not the manifest's
    FolderContentDiffers = 6,  // same size, another SHA-256
};

// Every region's file against the manifest, each read once into contents
// (by DataKind; empty for a file that failed): what is checked is what a
// restore sends and a verify compares. The outcome is the first region's
// failure; problems holds one line per file that failed (each line names the
// file; no line end after the last), so the technician sees them all at once.
FolderCheckOutcome CheckBackupFolder(const std::string& folder, const BackupManifest& manifest,
                                     std::string contents[DataKindCount], std::string* problems);

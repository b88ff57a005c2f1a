// A backup's description: SHA-256 from the system's library, the manifest
// written and read back, every hostile manifest refused by name, and a
// folder checked against its manifest before anything would be sent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/backup/backup_manifest.h"
#include "support/byte_files.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Region sizes that leave a part of a block, a whole block and several.
const size_t FileSizes[3] = {300, 256, 1000};

class BackupFolder : public ::testing::Test {
  protected:
    TempFolder folder{"selvo_manifest"};
    const fs::path& dir = folder.Path();
    BackupManifest manifest;

    void SetUp() override {
        manifest.program = "dm730 1.0";
        manifest.created = UtcTimestamp(1796713352);
        manifest.port = "/dev/ttyUSB0";
        manifest.hasAdapter = true;
        manifest.adapter =
            ManifestAdapter{"usb",    "0403:6001", "FT232R USB UART",
                            "A12345", "1-1.2",     "/dev/serial/by-id/usb-FTDI_A12345-if00"};
        manifest.firmwareVersion = "3.05";
        manifest.secondVersion = "1.20";
        for (int kind = 0; kind < 3; ++kind) {
            std::string path = PathOf(DataKindTable[kind].backupFileName);
            Bytes data = Pattern(FileSizes[kind], kind + 7);
            WriteWhole(path, data);
            Sha256Digest digest;
            ASSERT_EQ(HashBytesSha256(std::string(data.begin(), data.end()), &digest), Sha256Done);
            manifest.regions[kind] =
                DescribeRegionFile(DataKind(kind), DataKindTable[kind].backupFileName, digest);
        }
    }
    std::string PathOf(const std::string& name) const { return folder.PathOf(name); }
};

TEST(Sha256, KnownVector) {
    Sha256Digest digest;
    ASSERT_EQ(HashBytesSha256("abc", &digest), Sha256Done);
    EXPECT_EQ(digest.hex, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digest.bytes, 3u);
}

TEST_F(BackupFolder, WrittenManifestReadsBackAndSha256sumAcceptsTheSums) {
    std::string text = ManifestText(manifest);
    EXPECT_EQ(
        text.rfind("{\n  \"program\": \"dm730 1.0\",\n  \"created\": \"2026-12-08T07:02:32Z\"", 0),
        0u);
    EXPECT_EQ(text.substr(text.size() - 2), "}\n");
    WriteWhole(PathOf(ManifestFileName), Bytes(text.begin(), text.end()));
    std::string sums = Sha256SumsText(manifest);
    // Two spaces: the form sha256sum itself writes (it would take one as well).
    EXPECT_EQ(sums, manifest.regions[0].sha256 + "  firmware.upg\n" + manifest.regions[1].sha256 +
                        "  libraries.lib\n" + manifest.regions[2].sha256 + "  scenes.usr\n");
    WriteWhole(PathOf(SumsFileName), Bytes(sums.begin(), sums.end()));

    BackupManifest back;
    std::string problem;
    ASSERT_EQ(ReadManifestFile(dir.string(), &back, &problem), ManifestValid) << problem;
    EXPECT_EQ(ManifestText(back), text);
    EXPECT_EQ(back.regions[2].firstBlock, 896u);
    EXPECT_EQ(back.regions[0].blocks, 2u);
    std::string contents[DataKindCount];
    EXPECT_EQ(CheckBackupFolder(dir.string(), back, contents, &problem), FolderMatches) << problem;
    Bytes scenes = ReadWhole(PathOf("scenes.usr"));
    EXPECT_EQ(contents[KindScenes], std::string(scenes.begin(), scenes.end()))
        << "what was checked";
    std::string check = "cd '" + dir.string() + "' && sha256sum --quiet --strict -c SHA256SUMS";
    EXPECT_EQ(std::system(check.c_str()), 0) << sums;

    EXPECT_EQ(back.adapter.serialNumber, "A12345");
    // A manifest from before the adapter was recorded still reads.
    nlohmann::json old = nlohmann::json::parse(text);
    old.erase("adapter");
    ASSERT_EQ(ParseManifest(old.dump(), &back, &problem), ManifestValid) << problem;
    EXPECT_FALSE(back.hasAdapter);
    EXPECT_EQ(ManifestText(back).find("adapter"), std::string::npos);

    fs::remove(PathOf(ManifestFileName));
    EXPECT_EQ(ReadManifestFile(dir.string(), &back, &problem), ManifestMissing);
}

struct ManifestCase {
    const char* name;
    const char* pointer;  // the key changed; null: the whole text is value
    const char* value;    // JSON text put there; null: the key is removed
    ManifestOutcome outcome;
    const char* named;  // the problem names this
};

void PrintTo(const ManifestCase& c, std::ostream* os) { *os << c.name; }

class HostileManifest : public BackupFolder, public ::testing::WithParamInterface<ManifestCase> {};

TEST_P(HostileManifest, IsRefusedNamingWhatIsWrong) {
    const ManifestCase& c = GetParam();
    std::string text = c.pointer == nullptr ? c.value : "";
    if (c.pointer != nullptr) {
        nlohmann::json doc = nlohmann::json::parse(ManifestText(manifest));
        nlohmann::json::json_pointer at(c.pointer);
        if (c.value == nullptr)
            doc[at.parent_pointer()].erase(at.back());
        else
            doc[at] = nlohmann::json::parse(c.value);
        text = doc.dump();
    }
    BackupManifest parsed;
    std::string problem;
    EXPECT_EQ(ParseManifest(text, &parsed, &problem), c.outcome) << problem;
    EXPECT_NE(problem.find(c.named), std::string::npos) << problem;
}

INSTANTIATE_TEST_SUITE_P(
    Manifest, HostileManifest,
    ::testing::Values(
        ManifestCase{"NotJson", nullptr, "{\"program\": ", ManifestNotJson, "JSON (bajt 13)"},
        ManifestCase{"NotAnObject", nullptr, "[1]", ManifestWrongType, "obiekt"},
        ManifestCase{"NoProgram", "/program", nullptr, ManifestKeyMissing, "\"program\""},
        ManifestCase{"PortNumber", "/port", "3", ManifestWrongType, "\"port\""},
        ManifestCase{"AdapterText", "/adapter", "\"usb\"", ManifestWrongType, "\"adapter\""},
        ManifestCase{"AdapterSerialNumber", "/adapter/serialNumber", "5", ManifestWrongType,
                     "\"adapter.serialNumber\""},
        ManifestCase{"RegionsList", "/regions", "[]", ManifestWrongType, "\"regions\""},
        ManifestCase{"NoScenesDigest", "/regions/scenes/sha256", nullptr, ManifestKeyMissing,
                     "regions.scenes.sha256"},
        ManifestCase{"NoLibraries", "/regions/libraries", nullptr, ManifestKeyMissing,
                     "regions.libraries"},
        ManifestCase{"NegativeBytes", "/regions/firmware/bytes", "-1", ManifestWrongType,
                     "regions.firmware.bytes"},
        ManifestCase{"FractionBlocks", "/regions/scenes/blocks", "4.5", ManifestWrongType,
                     "regions.scenes.blocks"},
        ManifestCase{"UnknownRegion", "/regions/eeprom", "{}", ManifestUnknownRegion, "eeprom"},
        ManifestCase{"ParentFolder", "/regions/firmware/file", "\"../firmware.upg\"",
                     ManifestBadFileName, "regions.firmware.file"},
        ManifestCase{"AbsolutePath", "/regions/scenes/file", "\"/etc/scenes.usr\"",
                     ManifestBadFileName, "regions.scenes.file"},
        ManifestCase{"WindowsFolder", "/regions/libraries/file", "\"sub\\\\libraries.lib\"",
                     ManifestBadFileName, "regions.libraries.file"},
        ManifestCase{"DriveColon", "/regions/firmware/file", "\"C:firmware.upg\"",
                     ManifestBadFileName, "regions.firmware.file"},
        ManifestCase{"OtherKind", "/regions/scenes/kind", "\"firmware\"", ManifestBadValue,
                     "regions.scenes.kind"},
        ManifestCase{"OtherFirstBlock", "/regions/libraries/firstBlock", "0", ManifestBadValue,
                     "regions.libraries.firstBlock"},
        ManifestCase{"UpperCaseDigest", "/regions/firmware/sha256",
                     "\"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\"",
                     ManifestBadValue, "regions.firmware.sha256"},
        ManifestCase{"BlocksAgainstBytes", "/regions/firmware/blocks", "3", ManifestBadValue,
                     "regions.firmware.blocks"},
        ManifestCase{"Empty", "/regions/scenes/bytes", "0", ManifestDoesNotFit, "pusty"},
        ManifestCase{"LongerThanRegion", "/regions/firmware/bytes", "131073", ManifestDoesNotFit,
                     "131072"},
        ManifestCase{"OneFileTwice", "/regions/scenes/file", "\"libraries.lib\"", ManifestBadValue,
                     "libraries.lib"}),
    [](const ::testing::TestParamInfo<ManifestCase>& info) {
        return std::string(info.param.name);
    });

enum FolderChange { RemoveFile, AppendByte, ChangeByte, FolderInPlace, ClaimTooLarge };

struct FolderCase {
    const char* name;
    int kind;
    FolderChange change;
    FolderCheckOutcome outcome;
    const char* text;  // in the problem, beside the file's name
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

class ChangedFolder : public BackupFolder, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(ChangedFolder, IsRefusedNamingTheFile) {
    const FolderCase& c = GetParam();
    std::string path = PathOf(DataKindTable[c.kind].backupFileName);
    Bytes bytes = ReadWhole(path);
    switch (c.change) {
    case RemoveFile: fs::remove(path); break;
    case AppendByte: bytes.push_back(0); break;
    case ChangeByte: bytes[bytes.size() / 2] ^= 0x20; break;
    case FolderInPlace: fs::remove(path), fs::create_directory(path); break;
    case ClaimTooLarge: manifest.regions[c.kind].bytes = 512 * 256 + 1; break;
    }
    if (c.change == AppendByte || c.change == ChangeByte) WriteWhole(path, bytes);
    std::string problems;
    std::string contents[DataKindCount];
    EXPECT_EQ(CheckBackupFolder(dir.string(), manifest, contents, &problems), c.outcome);
    EXPECT_NE(problems.find(DataKindTable[c.kind].backupFileName), std::string::npos) << problems;
    EXPECT_NE(problems.find(c.text), std::string::npos) << problems;
    EXPECT_TRUE(contents[c.kind].empty()) << "nothing of a file refused goes anywhere";
    EXPECT_EQ(problems.find('\n'), std::string::npos) << "one file failed: " << problems;
}

INSTANTIATE_TEST_SUITE_P(
    Folder, ChangedFolder,
    ::testing::Values(FolderCase{"Missing", 1, RemoveFile, FolderFileMissing, "Brak pliku"},
                      FolderCase{"OneByteLonger", 2, AppendByte, FolderSizeDiffers,
                                 "ma 1001 B, a opis kopii podaje 1000 B"},
                      FolderCase{"OneByteChanged", 0, ChangeByte, FolderContentDiffers,
                                 "inną sumę SHA-256"},
                      FolderCase{"FolderInItsPlace", 2, FolderInPlace, FolderNotRegularFile,
                                 "nie jest zwykłym plikiem"},
                      FolderCase{"TooLargeForRegion", 0, ClaimTooLarge, FolderDoesNotFit,
                                 "nie mieści się w obszarze firmware"}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

}  // namespace

// The real dm730 against the simulated controller on ptys linked into a port
// folder: every command end to end, with its exit code, its Polish output
// (UTF-8, as a Linux terminal gets it) or English, and the files and memory it
// leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "cli/backup/backup_manifest.h"
#include "protocol/regions.h"
#include "support/byte_files.h"
#include "support/cli_process.h"
#include "support/port_folder.h"
#include "support/sim_process.h"
#include "support/temp_folder.h"

namespace {

typedef std::vector<std::string> Words;

const char* const KindWords[3] = {"firmware", "libraries", "scenes"};
const char* const Extensions[3] = {".upg", ".lib", ".usr"};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Dm730Test : public ::testing::Test {
  protected:
    TempFolder dir{"selvo_cli"};
    PortFolder ports;
    SimProcess sims[4];  // on com1..com4

    // dm730 keeps its traces and progress records in the test's own folder,
    // and speaks Polish whatever the locale of whoever runs the tests.
    Dm730Test() {
        setenv("XDG_STATE_HOME", PathOf("state").c_str(), 1);
        setenv("DM730_LANG", "pl", 1);
    }
    ~Dm730Test() override {
        unsetenv("XDG_STATE_HOME");
        unsetenv("DM730_LANG");
    }
    std::vector<std::string> TraceFiles() const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(PathOf("state/dm730"), error))
            if (entry.path().filename().string().rfind("dm730-trace-", 0) == 0)
                names.push_back(entry.path().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    void TearDown() override {
        for (SimProcess& sim : sims) StopSim(sim);
    }

    std::string PathOf(const std::string& name) const { return dir.PathOf(name); }
    std::string MemoryOf(int port) const { return PathOf("mem" + std::to_string(port) + ".img"); }
    std::string LinkOf(int port) const { return ports.PathOf("com" + std::to_string(port)); }

    // The controller on COMport with the image (when given) and options.
    void StartDevice(int port, const Words& options, const Bytes& image = Bytes()) {
        SimProcess& sim = sims[port - 1];
        StopSim(sim);
        if (!image.empty()) WriteWhole(MemoryOf(port), image);
        Words args = {"--memory", MemoryOf(port)};
        args.insert(args.end(), options.begin(), options.end());
        ASSERT_EQ(StartSim(sim, LinkOf(port), args), 0);
    }

    CliRun Run(const Words& args, long long fileSizeLimit = -1) {
        CliRun run = RunCli(args, dir.Path().string(), 60000, fileSizeLimit);
        // A full pipe would hold the simulators up.
        for (SimProcess& sim : sims)
            if (sim.pid > 0) SimLines(sim);
        return run;
    }

    // A backup folder of the blocks given for each region, from the start of
    // each region of image: files shorter than their regions keep a restore
    // short. Returns the image as the backup would leave it on a blank
    // controller.
    Bytes MakeBackup(const std::string& folder, const Bytes& image, const unsigned blocks[3]) {
        std::filesystem::create_directories(folder);
        BackupManifest manifest;
        manifest.program = "dm730";
        manifest.port = "x";
        manifest.firmwareVersion = "3.05";
        manifest.secondVersion = "1.20";
        Bytes restored(ImageSize, 0);
        for (DataKind kind : AllDataKinds) {
            DeviceRegion region = LookUpRegion(kind);
            Bytes data = Slice(image, region.firstBlock, blocks[kind]);
            std::string path = folder + "/" + FactsOf(kind).backupFileName;
            WriteWhole(path, data);
            std::copy(data.begin(), data.end(), restored.begin() + region.firstBlock * BlockSize);
            Sha256Digest digest;
            EXPECT_EQ(HashBytesSha256(std::string(data.begin(), data.end()), &digest), Sha256Done);
            manifest.regions[kind] = DescribeRegionFile(kind, FactsOf(kind).backupFileName, digest);
        }
        WriteWhole(folder + "/manifest.json", BytesOf(ManifestText(manifest)));
        return restored;
    }
};

std::string Shown(const CliRun& run) {
    return "\nexit " + std::to_string(run.exitCode) + "\nstdout:\n" + run.out + "stderr:\n" +
           run.err;
}

// English output has no byte of a Polish letter: nothing was left untranslated
// (the tests' paths are ASCII).
bool IsAscii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

TEST_F(Dm730Test, EveryRegionIsWrittenVerifiedAndReadBackWithEveryByteValue) {
    Bytes image = Pattern(ImageSize, 31);
    StartDevice(1, {}, image);
    for (int kind = KindFirmware; kind <= KindScenes; ++kind) {
        SCOPED_TRACE(KindWords[kind]);
        DeviceRegion region = LookUpRegion(DataKind(kind));
        Bytes data = Pattern(size_t(region.blockCount) * BlockSize, 40 + kind);
        ASSERT_EQ(std::set<uint8_t>(data.begin(), data.end()).size(), 256u);
        std::string file = PathOf(std::string("data") + Extensions[kind]);
        WriteWhole(file, data);

        CliRun run = Run({"write", KindWords[kind], file});
        ASSERT_EQ(run.exitCode, 0) << Shown(run);
        EXPECT_TRUE(Contains(run.err, "Port : " + LinkOf(1) + "\n")) << Shown(run);
        EXPECT_TRUE(Contains(run.out, " : gotowe, " + std::to_string(region.blockCount) + " blok"))
            << Shown(run);
        EXPECT_TRUE(Slice(ReadWhole(MemoryOf(1)), region.firstBlock, region.blockCount) == data);

        // The port named by its device path, as on Linux with --port.
        run = Run({"verify", KindWords[kind], file, "--port", LinkOf(1)});
        EXPECT_EQ(run.exitCode, 0) << Shown(run);
        EXPECT_TRUE(Contains(run.out, u8"Weryfikacja : ")) << Shown(run);
        EXPECT_FALSE(Contains(run.out, u8"Różnic")) << Shown(run);

        std::string back = PathOf(std::string("back") + Extensions[kind]);
        run = Run({"read", KindWords[kind], back, "--quiet"});
        EXPECT_EQ(run.exitCode, 0) << Shown(run);
        EXPECT_EQ(run.out, "") << "quiet";
        EXPECT_TRUE(ReadWhole(back) == data);
        EXPECT_FALSE(std::filesystem::exists(back + ".part"));
    }
    // A short file: its last block is compared with the zero fill and counted too.
    std::string shortFile = PathOf("short.upg");
    WriteWhole(shortFile, Pattern(300, 33));
    ASSERT_EQ(Run({"write", "firmware", shortFile}).exitCode, 0);
    CliRun run = Run({"verify", "firmware", shortFile});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(Contains(run.out, u8" : gotowe, 2 bloki bez różnic w ")) << Shown(run);
}

int CountLines(const std::vector<std::string>& lines, const std::string& start) {
    int n = 0;
    for (const std::string& line : lines) n += line.compare(0, start.size(), start) == 0;
    return n;
}

// A backup that proves itself, put onto a second, blank controller and read
// back there; then the ways a backup refuses or fails without leaving a
// mixture of two backups.
TEST_F(Dm730Test, BackupDescribesItselfAndIsRestoredOntoAnotherController) {
    Bytes image = Pattern(ImageSize, 32);
    StartDevice(1, {"--versions", "4.07,2.31"}, image);
    StartDevice(2, {}, Bytes(ImageSize, 0));
    std::string folder = PathOf("show/2026/backup");  // parents made too
    CliRun run = Run({"backup", folder});
    ASSERT_EQ(run.exitCode, 0) << Shown(run);
    const char* names[3] = {"firmware.upg", "libraries.lib", "scenes.usr"};
    for (int kind = KindFirmware; kind <= KindScenes; ++kind) {
        DeviceRegion region = LookUpRegion(DataKind(kind));
        EXPECT_TRUE(ReadWhole(folder + "/" + names[kind]) ==
                    Slice(image, region.firstBlock, region.blockCount))
            << names[kind];
    }
    // Output into a file: a line at each tenth of the whole at most, then one closing line.
    size_t percentLines = 0;
    for (size_t at = run.err.find('%'); at != std::string::npos; at = run.err.find('%', at + 1))
        ++percentLines;
    EXPECT_GE(percentLines, 1u) << Shown(run);
    EXPECT_LE(percentLines, 9u) << Shown(run);
    EXPECT_TRUE(Contains(run.out, u8"gotowe, 4096 bloków")) << Shown(run);
    Bytes manifestBytes = ReadWhole(folder + "/manifest.json");
    std::string manifest(manifestBytes.begin(), manifestBytes.end());
    for (const std::string& part :
         {"\"port\": \"" + LinkOf(1) + "\"", std::string("\"firmwareVersion\": \"4.07\""),
          std::string("\"secondVersion\": \"2.31\""), std::string("\"program\": \"dm730 "),
          std::string("\"adapter\": {\n    \"transport\": \"pty\",")})
        EXPECT_TRUE(Contains(manifest, part)) << part << "\n" << manifest;
    std::string check = "cd '" + folder + "' && sha256sum --quiet -c SHA256SUMS >/dev/null 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0) << "sha256sum -c";

    // Onto the blank controller on COM2: written, read back, equal.
    run = Run({"restore", folder, "--port", LinkOf(2)});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(Contains(run.err,
                         u8"Uwaga : sterownik ma wersje 3.05 | 1.20, a kopię wykonano "
                         u8"ze sterownika o wersjach 4.07 | 2.31."))
        << Shown(run);
    EXPECT_TRUE(Contains(run.out, u8"Odtworzenie kopii " + folder +
                                      u8" : gotowe, zapisano 4096 bloków, odczytano z powrotem "
                                      u8"4096 bez różnic w "))
        << Shown(run);
    EXPECT_TRUE(ReadWhole(MemoryOf(2)) == image);
    const std::vector<std::string>& events = SimLines(sims[1]);
    EXPECT_EQ(CountLines(events, "block-in "), 4096);
    EXPECT_EQ(CountLines(events, "block-out "), 4096) << "every region read back";
    run = Run({"verify", folder, "--port", LinkOf(2)});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);

    // One changed byte: refused before the controller is even looked for.
    std::string libraries = folder + "/libraries.lib";
    Bytes kept = ReadWhole(libraries);
    Bytes changed = kept;
    changed[700] ^= 0x40;
    WriteWhole(libraries, changed);
    size_t before = SimLines(sims[1]).size();
    run = Run({"restore", folder, "--port", LinkOf(2)});
    EXPECT_EQ(run.exitCode, 3) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Plik " + libraries + u8" ma inną sumę SHA-256")) << Shown(run);
    EXPECT_EQ(SimLines(sims[1]).size(), before) << "nothing sent";
    WriteWhole(libraries, kept);
    // The line falls silent in the second region: which regions hold the backup.
    StartDevice(2, {"--silent-after", "1100"});
    run = Run({"restore", folder, "--port", LinkOf(2)});
    EXPECT_EQ(run.exitCode, 1) << Shown(run);
    EXPECT_TRUE(Contains(run.err,
                         u8"Obszary : firmware odtworzony, libraries zapisany częściowo, "
                         u8"scenes nietknięty\n"))
        << Shown(run);
    // The hint names the port: run as printed, it reaches this controller
    // only, and goes on after the 76 blocks of the libraries it confirmed.
    std::string hint = "dm730 restore " + folder + " --port " + LinkOf(2) + " --resume";
    EXPECT_TRUE(Contains(run.err, u8"Aby dokończyć : " + hint + "\n")) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"faza 12 : ponowna odpowiedź z wersją ; blok ponowiono 3 razy"))
        << Shown(run);
    StartDevice(2, {});
    run = Run({"restore", folder, "--port", LinkOf(2), "--resume"});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(ReadWhole(MemoryOf(2)) == image);
    EXPECT_EQ(CountLines(SimLines(sims[1]), "block-in "), 384 - 76 + 3200);
    EXPECT_FALSE(std::filesystem::exists(folder + "/restore-progress-com2.json"));

    // Again: the files are there, and only --force replaces them.
    StartDevice(1, {}, Pattern(ImageSize, 33));
    run = Run({"backup", folder});
    EXPECT_EQ(run.exitCode, 3) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"już istnieje ! Dodaj --force")) << Shown(run);
    EXPECT_TRUE(ReadWhole(folder + "/scenes.usr") == Slice(image, 896, 3200));
    // A folder in the way is refused before anything is read.
    std::filesystem::rename(folder + "/scenes.usr", PathOf("scenes.kept"));
    std::filesystem::create_directories(folder + "/scenes.usr/inside");
    run = Run({"backup", folder, "--force", "--quiet"});
    EXPECT_EQ(run.exitCode, 3) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"scenes.usr : to nie jest zwykły plik")) << Shown(run);
    EXPECT_EQ(CountLines(SimLines(sims[0]), "block-out "), 0);
    // The third file cannot be replaced (a folder of its name appears while
    // the regions are read): all five old files stay, the new ones are in
    // their .part files, each named.
    std::filesystem::remove_all(folder + "/scenes.usr");
    std::filesystem::rename(PathOf("scenes.kept"), folder + "/scenes.usr");
    CliProcess cli;
    ASSERT_EQ(StartCli(cli, {"backup", folder, "--force", "--quiet"}, dir.Path().string()), 0);
    ASSERT_EQ(WaitSimEvent(sims[0], "block-out 100", 20000), 0);
    kill(cli.pid, SIGSTOP);
    std::filesystem::rename(folder + "/scenes.usr", PathOf("scenes.kept"));
    std::filesystem::create_directories(folder + "/scenes.usr/inside");
    kill(cli.pid, SIGCONT);
    run = FinishCli(cli, 60000);
    EXPECT_EQ(run.exitCode, 3) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Nie mogę zastąpić pliku " + folder + "/scenes.usr"))
        << Shown(run);
    EXPECT_FALSE(Contains(run.err, u8"Nie mogę cofnąć")) << "only what moved in moves back";
    EXPECT_TRUE(ReadWhole(folder + "/firmware.upg") == Slice(image, 0, 512));
    EXPECT_TRUE(ReadWhole(libraries) == kept);
    EXPECT_TRUE(ReadWhole(folder + "/manifest.json") == manifestBytes);
    EXPECT_EQ(std::system(check.c_str()), 256) << "the old sums, the folder's scenes.usr unread";
    for (const char* name :
         {"firmware.upg", "libraries.lib", "scenes.usr", "manifest.json", "SHA256SUMS"}) {
        std::string part = folder + "/" + name + ".part";
        EXPECT_TRUE(std::filesystem::exists(part)) << part;
        EXPECT_TRUE(Contains(run.err, "  " + part + "\n")) << Shown(run);
        EXPECT_FALSE(std::filesystem::exists(folder + "/" + name + ".old")) << name;
    }
    EXPECT_TRUE(ReadWhole(folder + "/firmware.upg.part") == Slice(Pattern(ImageSize, 33), 0, 512));
    std::filesystem::remove_all(folder + "/scenes.usr");
    std::filesystem::rename(PathOf("scenes.kept"), folder + "/scenes.usr");
    run = Run({"backup", folder, "--force", "--quiet"});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(ReadWhole(folder + "/scenes.usr") == Slice(Pattern(ImageSize, 33), 896, 3200));
    for (const char* name :
         {"firmware.upg", "libraries.lib", "scenes.usr", "manifest.json", "SHA256SUMS"})
        EXPECT_FALSE(std::filesystem::exists(folder + "/" + name + ".old"))
            << "set aside, then gone";
    EXPECT_EQ(std::system(check.c_str()), 0) << "the new sums";

    // A line that falls silent half-way: each region gathered so far is in its .part.
    StartDevice(1, {"--silent-after", "600"}, image);
    run = Run({"backup", PathOf("halfway")});
    EXPECT_EQ(run.exitCode, 1) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"firmware.upg nie powstał ; odczytane bloki (512) są w pliku"))
        << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"libraries.lib nie powstał ; odczytane bloki (88) są w pliku"))
        << Shown(run);
    EXPECT_FALSE(std::filesystem::exists(PathOf("halfway/manifest.json")));
}

// Each fault of the controller: the window's text on stderr and exit 1. A read
// leaves the file it was to replace as it was, and its .part holds the blocks
// read before the fault, whole.
TEST_F(Dm730Test, DeviceFaultsGiveTheWindowsTextsAndLeaveTheFile) {
    struct Fault {
        Words options;
        const char* command;
        const char* text;
        const char* english;
        unsigned storedBlocks;  // read: blocks in the .part
    };
    const Fault faults[] = {
        {{"--ident-nak"}, "write", u8"Błąd inicjacji : NAK", "Identification failed: NAK", 0},
        {{"--ident-status", "0x07"},
         "read",
         u8"Błąd inicjacji : błąd ACK :  7",
         "Identification failed: ACK error:  7",
         0},
        {{"--bad-ident-checksum=0x0A"},
         "verify",
         u8"Błąd inicjacji : sumy kontrolnej : a",
         "Identification failed: checksum: a",
         0},
        {{"--nak-command", "513"},
         "write",
         u8"Błąd potwierdzenia : NAK",
         "Command not acknowledged: NAK",
         0},
        {{"--status-byte", "513:0x1B"},
         "verify",
         u8"Błąd potwierdzenia : błąd ACK : 1b",
         "Command not acknowledged: ACK error: 1b",
         0},
        {{"--silent-after", "192"},
         "read",
         u8"Błąd potwierdzenia : brak danych : 0",
         "Command not acknowledged: missing data: 0",
         192},
        {{"--nak-block", "514"}, "write", u8"Błąd przesyłania : NAK", "Transfer failed: NAK", 0},
        {{"--bad-checksum", "514:0x3F"},
         "read",
         u8"Błąd przesyłania : sumy kontrolnej : 3f",
         "Transfer failed: checksum: 3f",
         2},
        {{"--short-frame", "513"},
         "read",
         u8"Błąd przesyłania : brak danych : 200",
         "Transfer failed: missing data: 200",
         1},
        {{"--hangup-after", "1"}, "read", u8"Kod błędu : 109", "Error code: 109", 1},
    };
    Bytes image = Pattern(ImageSize, 34);
    std::string source = PathOf("in.lib");
    WriteWhole(source, Slice(image, 512, 384));
    std::string target = PathOf("out.lib");
    for (const Fault& f : faults) {
        for (const char* language : {"pl", "en"}) {
            SCOPED_TRACE(std::string(f.text) + " " + language);
            bool english = std::string(language) == "en";
            Words options = f.options;
            // The detection's own request passes; the transfer's meets the fault.
            options.insert(options.end(), {"--ident-faults-after", "1"});
            StartDevice(1, options, image);
            bool reading = std::string(f.command) == "read";
            WriteWhole(target, Bytes{'k', 'e', 'e', 'p'});
            // Without retries, as the window: the fault ends the transfer at once.
            Words args = reading ? Words{"read", "libraries", target, "--force", "--retries", "0"}
                                 : Words{f.command, "libraries", source, "--retries", "0"};
            args.insert(args.end(), {"--lang", language});
            CliRun run = Run(args);
            EXPECT_EQ(run.exitCode, 1) << Shown(run);
            EXPECT_TRUE(Contains(run.err, std::string(english ? f.english : f.text) + "\n"))
                << Shown(run);
            if (english) {
                EXPECT_TRUE(IsAscii(run.out + run.err)) << Shown(run);
            }
            if (!reading) continue;
            EXPECT_TRUE(ReadWhole(target) == (Bytes{'k', 'e', 'e', 'p'}));
            EXPECT_TRUE(ReadWhole(target + ".part") == Slice(image, 512, f.storedBlocks));
            std::string kept = english ? "out.lib is unchanged; the blocks read ("
                                       : u8"out.lib pozostał bez zmian ; odczytane bloki (";
            EXPECT_TRUE(Contains(run.err, kept + std::to_string(f.storedBlocks) +
                                              (english ? ") are in file " : u8") są w pliku ")))
                << Shown(run);
        }
    }
}

TEST_F(Dm730Test, VerifyListsDifferencesUpToTheLimitAndCountsTheRest) {
    Bytes image = Pattern(ImageSize, 35);
    StartDevice(1, {}, image);
    Bytes file = Slice(image, 512, 384);
    const size_t changed[] = {3, 300, 301, 5000, 384 * 256 - 1};
    for (size_t at : changed) file[at] = uint8_t(file[at] + 1);
    std::string path = PathOf("v.lib");
    WriteWhole(path, file);
    CliRun run = Run({"verify", "libraries", path, "--max-differences", "2"});
    EXPECT_EQ(run.exitCode, 4) << Shown(run);
    std::string first = u8"Różnica : blok 1 z 384 poz. 3 (bajt 3 pliku) : plik " +
                        std::to_string(file[3]) + ", Dm730 " +
                        std::to_string(image[512 * 256 + 3]) + "\n";
    EXPECT_TRUE(Contains(run.out, first)) << Shown(run);
    EXPECT_TRUE(Contains(run.out, u8"Różnica : blok 2 z 384 poz. 44 (bajt 300 pliku)"))
        << Shown(run);
    EXPECT_FALSE(Contains(run.out, u8"poz. 45")) << "beyond the limit";
    EXPECT_TRUE(Contains(run.out, u8"Różnic : 5 (pokazano 2)\n")) << Shown(run);

    // A controller that acknowledges a block and stores it changed: only the
    // read-back of write --verify tells.
    StartDevice(1, {"--store-changed", "600:0x10"}, image);
    run = Run({"write", "libraries", path, "--verify"});
    EXPECT_EQ(run.exitCode, 4) << Shown(run);
    EXPECT_EQ(WaitSimEvent(sims[0], "fault store-changed 600 0x10", 1000), 0);
    EXPECT_TRUE(Contains(run.out, u8"Różnica : blok 89 z 384 poz. 0 (bajt 22528 pliku)"))
        << Shown(run);
    EXPECT_TRUE(Contains(run.out, u8"Różnic : 1\n")) << Shown(run);

    // What the comparisons of short and long files say, and how they end.
    WriteWhole(PathOf("exact512.lib"), Slice(image, 512, 2));
    Bytes exact300 = Slice(image, 512, 2);
    exact300.resize(300);
    WriteWhole(PathOf("exact300.lib"), exact300);
    Bytes longer = file;
    longer.push_back(1);
    WriteWhole(PathOf("longer.lib"), longer);
    struct Case {
        Words args;
        Words device;
        int exitCode;
        std::string text;
    };
    const Case cases[] = {
        // The zero fill is compared, but bytes past the file's end are no
        // bytes of the file.
        {{"verify", "libraries", PathOf("exact512.lib")}, {}, 0, u8"gotowe, 3 bloki bez różnic w "},
        {{"verify", "libraries", PathOf("exact300.lib")}, {}, 0, u8"Za końcem pliku Dm730 ma "},
        // Differences decide over the rest of a longer file, never compared.
        {{"verify", "libraries", PathOf("longer.lib")}, {}, 4, u8"Różnic : 5\n"},
        // A read-back that fails on the line is the line's failure, not a difference.
        {{"write", "libraries", path, "--verify", "--retries", "0"},
         {"--bad-checksum", "600"},
         1,
         u8"Błąd przesyłania : sumy kontrolnej : 1\n"},
        {{"write", "libraries", PathOf("exact300.lib")},
         {},
         0,
         u8"Bloki 1–2 z 384 zapisane (blok 2 dopełniony zerami za końcem pliku), bloki 3–384 "
         u8"bez zmian.\n"},
        {{"write", "libraries", PathOf("exact512.lib")},
         {},
         0,
         u8"Bloki 1–3 z 384 zapisane (blok 3 : same zera za końcem pliku), bloki 4–384 bez "
         u8"zmian.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2]);
        StartDevice(1, c.device, image);
        run = Run(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << Shown(run);
        EXPECT_TRUE(Contains(run.out + run.err, c.text)) << Shown(run);
        EXPECT_FALSE(Contains(run.out, u8"bajt 512 pliku")) << Shown(run);
    }
}

// Ctrl-C in mid-read: stopped as Esc stops it (the port let go, nothing more
// asked of the line), the .part closed with the blocks read, exit 130.
TEST_F(Dm730Test, CtrlCStopsAReadAndKeepsWhatItRead) {
    Bytes image = Pattern(ImageSize, 36);
    // At the line's own pace, so the read is still running when the signal comes.
    StartDevice(1, {"--line-rate", "--port-events"}, image);
    std::string target = PathOf("scenes.usr");
    CliProcess cli;
    ASSERT_EQ(StartCli(cli, {"read", "scenes", target}, dir.Path().string()), 0);
    ASSERT_EQ(WaitSimEvent(sims[0], "block-out 900", 20000), 0);
    kill(cli.pid, SIGINT);
    CliRun run = FinishCli(cli, 10000);
    EXPECT_EQ(run.exitCode, 130) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Transmisja przerwana (Ctrl-C).\n")) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"scenes.usr nie powstał ; odczytane bloki (")) << Shown(run);
    EXPECT_FALSE(std::filesystem::exists(target));
    Bytes part = ReadWhole(target + ".part");
    unsigned blocks = unsigned(part.size() / BlockSize);
    EXPECT_EQ(part.size() % BlockSize, 0u);
    EXPECT_GE(blocks, 4u);
    EXPECT_TRUE(part == Slice(image, 896, blocks));
    ASSERT_EQ(WaitSimEvent(sims[0], "port closed", 5000), 0);
    std::string line;
    EXPECT_NE(WaitSimEvent(sims[0], "command", 500, &line), 0) << "sent after the stop: " << line;

    // Stopped in mid-write: which blocks of the region are new, which old.
    std::string source = PathOf("new.usr");
    WriteWhole(source, Pattern(40 * BlockSize, 37));
    ASSERT_EQ(StartCli(cli, {"write", "scenes", source}, dir.Path().string()), 0);
    ASSERT_EQ(WaitSimEvent(sims[0], "block-in 900 ack", 20000), 0);
    kill(cli.pid, SIGINT);
    run = FinishCli(cli, 10000);
    EXPECT_EQ(run.exitCode, 130) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Bloki 1-")) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8" z 3200 mają jeszcze stare dane.\n")) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"-41 z 3200 mają jeszcze stare dane.\n")) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Dokończysz zapis poleceniem : dm730 write scenes " + source +
                                      " --port " + LinkOf(1) + " --from-block "))
        << Shown(run);
}

// The record beside a part, as a read that stopped leaves it.
std::string PartRecordText(const std::string& versions) {
    size_t bar = versions.find(',');
    return "{\"port\": \"x\", \"firmwareVersion\": \"" + versions.substr(0, bar) +
           "\", \"secondVersion\": \"" + versions.substr(bar + 1) +
           "\", \"region\": \"libraries\", \"blocksWritten\": 0, \"regionWritten\": false, "
           "\"readBack\": true}";
}

// Reads into files that need care: continued on the controller the part came
// from and on no other, through a link never followed, a name at the limit, a
// disk that fills up.
TEST_F(Dm730Test, ReadsKeepEveryFileTheUserHas) {
    Bytes image = Pattern(ImageSize, 38);
    StartDevice(1, {}, image);
    Bytes region = Slice(image, 512, 384);
    // Parts of earlier reads: 100 whole blocks and a piece of the next, the
    // whole region, and 100 blocks another controller holds.
    Bytes part = Slice(image, 512, 100);
    part.insert(part.end(), 77, 0xEE);
    for (const char* name : {"resumed", "otherversions", "norecord", "forcedresume"})
        WriteWhole(PathOf(std::string(name) + ".lib.part"), part);
    WriteWhole(PathOf("complete.lib.part"), region);
    Bytes longer = region;
    longer.push_back(1);
    WriteWhole(PathOf("longer.lib.part"), longer);
    WriteWhole(PathOf("othermemory.lib.part"), Pattern(100 * BlockSize, 39));
    for (const char* name : {"resumed", "complete", "othermemory", "forcedresume", "longer"})
        WriteWhole(PathOf(std::string(name) + ".lib.part.json"),
                   BytesOf(PartRecordText("3.05,1.20")));
    WriteWhole(PathOf("otherversions.lib.part.json"), BytesOf(PartRecordText("4.07,2.31")));
    std::filesystem::create_symlink(PathOf("target"), PathOf("forced.lib.part"));
    std::filesystem::create_symlink(PathOf("target"), PathOf("linked.lib.part"));
    std::string longName = std::string(251, 'n') + ".lib";
    struct Case {
        Words args;
        long long fileSizeLimit;
        int exitCode;
        std::string file;  // left with expected, and no .part; empty: none made
        Bytes expected;
        std::string text;
        int blocksRead = -1;  // blocks the controller sent, when counted
    };
    const Case cases[] = {
        {{"read", "libraries", PathOf("resumed.lib"), "--resume"},
         -1,
         0,
         "resumed.lib",
         region,
         u8"odczyt od bloku 101 z 384",
         1 + 284},
        // --force beside --resume resumes all the same.
        {{"read", "libraries", PathOf("forcedresume.lib"), "--resume", "--force"},
         -1,
         0,
         "forcedresume.lib",
         region,
         u8"odczyt od bloku 101 z 384",
         1 + 284},
        // The last whole block is read again, never a block past the region.
        {{"read", "libraries", PathOf("complete.lib"), "--resume"},
         -1,
         0,
         "complete.lib",
         region,
         u8"odczyt od bloku 384 z 384",
         2},
        // A part longer than its region is no read of it.
        {{"read", "libraries", PathOf("longer.lib"), "--resume"},
         -1,
         3,
         "",
         Bytes(),
         u8"ma 98305 bajtów, a obszar 98304 : to nie jest odczyt tego obszaru",
         0},
        {{"read", "libraries", PathOf("otherversions.lib"), "--resume"},
         -1,
         3,
         "",
         Bytes(),
         u8"a przerwaną pracę wykonano na sterowniku o wersjach 4.07 | 2.31",
         0},
        {{"read", "libraries", PathOf("othermemory.lib"), "--resume"},
         -1,
         3,
         "",
         Bytes(),
         u8"Blok 100 z 384 w sterowniku na porcie " + LinkOf(1) + u8" nie zgadza się z plikiem",
         1},
        {{"read", "libraries", PathOf("norecord.lib"), "--resume"},
         -1,
         3,
         "",
         Bytes(),
         u8"Nie wiem, z którego sterownika pochodzą bloki",
         0},
        {{"read", "libraries", PathOf("linked.lib"), "--resume", "--force"},
         -1,
         3,
         "",
         Bytes(),
         u8"linked.lib.part jest dowiązaniem ; nie zapiszę nic przez nie.",
         0},
        {{"read", "libraries", PathOf("forced.lib"), "--force"}, -1, 0, "forced.lib", region, ""},
        {{"read", "libraries", PathOf(longName)}, -1, 0, longName, region, ""},
        {{"read", "libraries", PathOf("full.lib")},
         10 * BlockSize + 100,
         3,
         "",
         Bytes(),
         u8"Błąd zapisu pliku !\n  (plik " + PathOf("full.lib.part") + " : File too large)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[2]);
        size_t before = SimLines(sims[0]).size();
        CliRun run = Run(c.args, c.fileSizeLimit);
        EXPECT_EQ(run.exitCode, c.exitCode) << Shown(run);
        EXPECT_TRUE(Contains(run.err, c.text)) << Shown(run);
        std::vector<std::string> lines(SimLines(sims[0]).begin() + long(before),
                                       SimLines(sims[0]).end());
        if (c.blocksRead >= 0) {
            EXPECT_EQ(CountLines(lines, "block-out "), c.blocksRead);
        }
        if (c.file.empty()) {
            EXPECT_FALSE(std::filesystem::exists(c.args[2]));
            continue;
        }
        EXPECT_TRUE(ReadWhole(PathOf(c.file)) == c.expected);
        EXPECT_FALSE(std::filesystem::is_symlink(PathOf(c.file)));
    }
    EXPECT_FALSE(std::filesystem::exists(PathOf("target"))) << "the link was followed";
    // Every read that ended whole took its part and record away (the long
    // name's shortened); the refused ones left theirs as they were.
    std::set<std::string> parts;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        std::string name = entry.path().filename().string();
        if (name.find(".part") != std::string::npos) parts.insert(name);
    }
    EXPECT_EQ(parts,
              (std::set<std::string>{"full.lib.part", "full.lib.part.json", "linked.lib.part",
                                     "longer.lib.part", "longer.lib.part.json", "norecord.lib.part",
                                     "othermemory.lib.part", "othermemory.lib.part.json",
                                     "otherversions.lib.part", "otherversions.lib.part.json"}));
    EXPECT_TRUE(ReadWhole(PathOf("otherversions.lib.part")) == part);
    EXPECT_TRUE(Slice(ReadWhole(PathOf("full.lib.part")), 0, 10) == Slice(image, 512, 10));
    EXPECT_FALSE(std::filesystem::exists(PathOf("full.lib")));

    // A file replaced keeps its permissions; a name cut for its part is never
    // cut inside a character.
    WriteWhole(PathOf("private.lib"), Bytes{'p'});
    chmod(PathOf("private.lib").c_str(), 0600);
    CliRun run = Run({"read", "libraries", PathOf("private.lib"), "--force"});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    struct stat info;
    ASSERT_EQ(stat(PathOf("private.lib").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::string accented;
    for (int i = 0; i < 126; ++i) accented += u8"ą";
    run = Run({"read", "libraries", PathOf(accented + ".lib")}, 10 * BlockSize);
    EXPECT_EQ(run.exitCode, 3) << Shown(run);
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        std::string name = entry.path().filename().string();
        if (name.compare(0, 2, u8"ą") != 0 || name.find(".part") == std::string::npos) continue;
        EXPECT_LE(name.size(), 255u);
        size_t tag = name.find('~');
        ASSERT_NE(tag, std::string::npos) << name;
        EXPECT_EQ(tag % 2, 0u) << "a whole number of two-byte characters before the tag";
    }
}

// A line that loses, changes or delays an answer now and then: every job ends
// with the region right, each bad block tried again; without retries the
// first fault ends it, as in the window.
TEST_F(Dm730Test, LongJobsGetThroughANoisyLine) {
    Bytes image = Pattern(ImageSize, 41);
    StartDevice(1, {"--noise-rate", "0.01", "--seed", "5"}, Bytes(ImageSize, 0));
    std::string firmware = PathOf("fw.upg");
    WriteWhole(firmware, Slice(image, 0, 512));
    CliRun run = Run({"write", "firmware", firmware, "--verify"});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Po błędach linii ponowiono ")) << Shown(run);
    // The progress counts the read-back too: its tenths come during the verify.
    EXPECT_TRUE(Contains(run.err, u8"Weryfikacja : program  Blok ")) << Shown(run);
    EXPECT_TRUE(Slice(ReadWhole(MemoryOf(1)), 0, 512) == Slice(image, 0, 512));

    StartDevice(1, {"--noise-rate", "0.01", "--seed", "6"}, image);
    run = Run({"read", "libraries", PathOf("back.lib")});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(ReadWhole(PathOf("back.lib")) == Slice(image, 512, 384));
    // An answer past the wait with its data frame right behind, at the line's
    // pace: the retry lets the whole of it go by before it asks again.
    StartDevice(1, {"--late-answer", "515:250", "--line-rate"}, image);
    WriteWhole(PathOf("late.lib"), Slice(image, 512, 8));
    run = Run({"verify", "libraries", PathOf("late.lib")});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Po błędach linii ponowiono 1 blok.")) << Shown(run);

    const unsigned blocks[3] = {60, 40, 80};
    Bytes restored = MakeBackup(PathOf("kopia"), image, blocks);
    StartDevice(2, {"--noise-rate", "0.01", "--seed", "7"}, Bytes(ImageSize, 0));
    run = Run({"restore", PathOf("kopia"), "--port", LinkOf(2)});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(ReadWhole(MemoryOf(2)) == restored);

    // The 20th answer, the ACK of block 10's data frame, comes too late: that
    // block may hold the new data or not, and the write goes on from it.
    StartDevice(1, {"--pause-every", "20:1000"}, Bytes(ImageSize, 0));
    run = Run({"write", "firmware", firmware, "--retries", "0"});
    EXPECT_EQ(run.exitCode, 1) << Shown(run);
    EXPECT_TRUE(Contains(run.err,
                         u8"Bloki 1-9 z 512 mają już nowe dane.\nBlok 10 z 512 mógł "
                         u8"zostać zapisany lub nie.\nBloki 11-512 z 512 mają jeszcze "
                         u8"stare dane.\n"))
        << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8" --retries 0 --from-block 10\n")) << Shown(run);
    // Run as printed, on the same controller: blocks 10 to 512 go, and the
    // region is the file's. On another controller's memory: refused, nothing written.
    StartDevice(1, {});
    run = Run({"write", "firmware", firmware, "--port", LinkOf(1), "--from-block", "10"});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_EQ(CountLines(SimLines(sims[0]), "block-in "), 503);
    EXPECT_TRUE(Slice(ReadWhole(MemoryOf(1)), 0, 512) == Slice(image, 0, 512));
    StartDevice(1, {}, Bytes(ImageSize, 0));
    run = Run({"write", "firmware", firmware, "--from-block", "10"});
    EXPECT_EQ(run.exitCode, 3) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Blok 9 z 512 w sterowniku na porcie " + LinkOf(1) +
                                      u8" nie zgadza się z plikiem"))
        << Shown(run);
    EXPECT_EQ(CountLines(SimLines(sims[0]), "block-in "), 0);

    StartDevice(1, {"--noise-rate", "0.05", "--seed", "5"}, Bytes(ImageSize, 0));
    run = Run({"write", "firmware", firmware, "--retries", "0"});
    EXPECT_EQ(run.exitCode, 1) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Dokończysz zapis poleceniem : dm730 write firmware " +
                                      firmware + " --port " + LinkOf(1) + " --retries 0 "))
        << Shown(run);
}

// A restore stopped at some block goes on there on the same controller, and
// is refused on one with other versions or other memory, nothing written.
TEST_F(Dm730Test, ARestoreStoppedAnywhereIsFinishedOnTheSameControllerOnly) {
    Bytes image = Pattern(ImageSize, 42);
    const unsigned blocks[3] = {50, 30, 70};
    std::string folder = PathOf("kopia");
    Bytes restored = MakeBackup(folder, image, blocks);
    // Somewhere in the write of the libraries or of the scenes.
    unsigned stopAt = 512 + 10 + unsigned(std::random_device()() % 60);
    if (stopAt >= 512 + 30) stopAt = 896 + (stopAt - 512 - 30);
    StartDevice(2, {"--turnaround", "5"}, Bytes(ImageSize, 0));
    CliProcess cli;
    ASSERT_EQ(StartCli(cli, {"restore", folder, "--port", LinkOf(2)}, dir.Path().string()), 0);
    ASSERT_EQ(WaitSimEvent(sims[1], "block-in " + std::to_string(stopAt), 20000), 0) << stopAt;
    kill(cli.pid, SIGINT);
    CliRun run = FinishCli(cli, 10000);
    ASSERT_EQ(run.exitCode, 130) << Shown(run);
    std::string hint = "dm730 restore " + folder + " --port " + LinkOf(2) + " --resume";
    EXPECT_TRUE(Contains(run.err, u8"Aby dokończyć : " + hint + "\n")) << Shown(run);
    Bytes stopped = ReadWhole(MemoryOf(2));
    // Whole-block files: each region gets its blocks and one of zeros.
    const int stored = CountLines(SimLines(sims[1]), "block-in ");
    const int toWrite = int(blocks[0] + blocks[1] + blocks[2]) + 3;

    struct Case {
        Words device;
        int port;
        bool portTwoGone;  // the port the restore stopped on is no longer there
        int exitCode;
        std::string text;
    };
    const Case cases[] = {
        {{"--versions", "4.07,2.31"},
         2,
         false,
         3,
         u8"a przerwaną pracę wykonano na sterowniku o wersjach 3.05 | 1.20"},
        // Another port's record is that port's while the port is there.
        {{}, 3, false, 3, u8"  Odtwarzanie przerwane na porcie " + LinkOf(2) + " : "},
        // Gone (an adapter plugged in again gets another name): taken over,
        // and the controller found must still be the one it was.
        {{},
         3,
         true,
         3,
         u8"Dokończenie odtwarzania przerwanego na porcie " + LinkOf(2) +
             u8", którego już nie ma.\nBlok "},
        {{}, 2, false, 0, u8"Odtworzenie kopii " + folder + u8" : gotowe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.portTwoGone) StopSim(sims[1]);
        StartDevice(c.port, c.device, c.port == 2 ? stopped : Bytes(ImageSize, 0));
        run = Run({"restore", folder, "--port", LinkOf(c.port), "--resume"});
        EXPECT_EQ(run.exitCode, c.exitCode) << Shown(run);
        EXPECT_TRUE(Contains(run.out + run.err, c.text)) << Shown(run);
        int written = CountLines(SimLines(sims[c.port - 1]), "block-in ");
        if (c.exitCode != 0) {
            EXPECT_EQ(written, 0) << "nothing written";
        } else {
            // Only what the stopped run had not stored; the last block again
            // when its ACK was on the way as Ctrl-C came.
            EXPECT_GE(written, toWrite - stored);
            EXPECT_LE(written, toWrite - stored + 1);
        }
    }
    EXPECT_TRUE(ReadWhole(MemoryOf(2)) == restored);
    EXPECT_FALSE(std::filesystem::exists(folder + "/restore-progress-com2.json"));

    // Stopped right after a region: the block before the resume point is the
    // zero block after a file of whole blocks, which a blank controller holds
    // too; the file's own last block tells them apart.
    for (bool same : {false, true}) {
        WriteWhole(folder + "/restore-progress.json",
                   BytesOf("{\"program\": \"dm730\", \"port\": \"" + LinkOf(3) +
                           "\", \"firmwareVersion\": \"3.05\", \"secondVersion\": \"1.20\", "
                           "\"region\": \"scenes\", \"blocksWritten\": 0, \"regionWritten\": "
                           "false, \"readBack\": true}\n"));
        StartDevice(3, {}, same ? restored : Bytes(ImageSize, 0));
        run = Run({"restore", folder, "--port", LinkOf(3), "--resume"});
        EXPECT_EQ(run.exitCode, same ? 0 : 3) << Shown(run);
        // Taken over and finished, the shared record goes; refused, it stays.
        EXPECT_EQ(std::filesystem::exists(folder + "/restore-progress.json"), !same);
        if (!same) {
            EXPECT_TRUE(Contains(run.err, u8"Blok 30 z 384 w sterowniku na porcie " + LinkOf(3) +
                                              u8" nie zgadza się z plikiem"))
                << Shown(run);
            EXPECT_EQ(CountLines(SimLines(sims[2]), "block-in "), 0);
        }
    }
    // The record of a port that is gone, taken over by the same controller
    // elsewhere and finished, goes as well.
    WriteWhole(folder + "/restore-progress-gone.json",
               BytesOf("{\"program\": \"dm730\", \"port\": \"" + PathOf("gone") +
                       "\", \"firmwareVersion\": \"3.05\", \"secondVersion\": \"1.20\", "
                       "\"region\": \"scenes\", \"blocksWritten\": 0, \"regionWritten\": "
                       "false, \"readBack\": true}\n"));
    StartDevice(3, {}, restored);
    run = Run({"restore", folder, "--port", LinkOf(3), "--resume"});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(
        Contains(run.err, u8"Dokończenie odtwarzania przerwanego na porcie " + PathOf("gone")))
        << Shown(run);
    EXPECT_FALSE(std::filesystem::exists(folder + "/restore-progress-gone.json"));

    // Read back only when asked: --no-verify reads nothing; a region the
    // controller stores wrong is the only one said to differ.
    StartDevice(2, {"--store-changed", "3"}, Bytes(ImageSize, 0));
    run = Run({"restore", folder, "--port", LinkOf(2), "--no-verify"});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_EQ(CountLines(SimLines(sims[1]), "block-out "), 0);
    run = Run({"restore", folder, "--port", LinkOf(2)});
    EXPECT_EQ(run.exitCode, 4) << Shown(run);
    EXPECT_TRUE(Contains(run.err,
                         u8"Obszary : firmware zapisany z różnicami, libraries odtworzony, "
                         u8"scenes odtworzony\n"))
        << Shown(run);  // Refused at the first block: no block reached the firmware.
    StartDevice(2, {"--nak-command", "0"}, Bytes(ImageSize, 0));
    run = Run({"restore", folder, "--port", LinkOf(2)});
    EXPECT_EQ(run.exitCode, 1) << Shown(run);
    EXPECT_TRUE(Contains(run.err,
                         u8"Obszary : firmware nietknięty, libraries nietknięty, "
                         u8"scenes nietknięty\n"))
        << Shown(run);
}

// Backups and restores hold what they opened: a folder against a second
// dm730, their parts against a link put at their names, the files a restore
// checked against a swap; and nothing of an earlier backup is lost to a swap
// that was killed half-way.
TEST_F(Dm730Test, BackupsAndRestoresHoldWhatTheyOpened) {
    Bytes image = Pattern(ImageSize, 44);
    StartDevice(1, {}, image);
    StartDevice(2, {}, Bytes(ImageSize, 0));
    std::string folder = PathOf("bk");
    std::string check = "cd '" + folder + "' && sha256sum --quiet -c SHA256SUMS >/dev/null 2>&1";
    CliProcess cli;
    // While one backup reads into the folder, a second backup, a restore and
    // a verify of it are refused at once, and touch nothing.
    ASSERT_EQ(StartCli(cli, {"backup", folder}, dir.Path().string()), 0);
    ASSERT_EQ(WaitSimEvent(sims[0], "block-out 100", 20000), 0);
    kill(cli.pid, SIGSTOP);
    for (const Words& second : {Words{"backup", folder, "--force", "--port", LinkOf(2)},
                                Words{"restore", folder, "--port", LinkOf(2)},
                                Words{"verify", folder, "--port", LinkOf(2)}}) {
        CliRun run = Run(second);
        EXPECT_EQ(run.exitCode, 6) << Shown(run);
        EXPECT_TRUE(Contains(run.err, u8"jest w użyciu przez inny dm730")) << Shown(run);
    }
    kill(cli.pid, SIGCONT);
    CliRun run = FinishCli(cli, 60000);
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_EQ(std::system(check.c_str()), 0) << "the folder is the first backup's, whole";
    EXPECT_TRUE(SimLines(sims[1]).size() == 1) << "the second controller was never asked";

    // A link put in place of a part while the regions are read: nothing is
    // written through it, and it never becomes the backup's file.
    WriteWhole(PathOf("target.lib"), Bytes{'k', 'e', 'e', 'p'});
    ASSERT_EQ(StartCli(cli, {"backup", PathOf("bk2")}, dir.Path().string()), 0);
    ASSERT_EQ(WaitSimEvent(sims[0], "block-out 100", 20000), 0);
    kill(cli.pid, SIGSTOP);
    std::string planted = PathOf("bk2/libraries.lib.part");
    ASSERT_EQ(unlink(planted.c_str()), 0);
    ASSERT_EQ(symlink(PathOf("target.lib").c_str(), planted.c_str()), 0);
    kill(cli.pid, SIGCONT);
    run = FinishCli(cli, 60000);
    EXPECT_EQ(run.exitCode, 3) << Shown(run);
    EXPECT_TRUE(
        Contains(run.err, u8"libraries.lib.part nie jest już plikiem, który zapisała kopia"))
        << Shown(run);
    EXPECT_TRUE(ReadWhole(PathOf("target.lib")) == (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(std::filesystem::is_symlink(PathOf("bk2/libraries.lib")));

    // A file changed after the restore checked it: what goes to the
    // controller is what was checked.
    const unsigned blocks[3] = {20, 10, 10};
    Bytes restored = MakeBackup(PathOf("small"), image, blocks);
    ASSERT_EQ(StartCli(cli, {"restore", PathOf("small"), "--port", LinkOf(2)}, dir.Path().string()),
              0);
    ASSERT_EQ(WaitSimEvent(sims[1], "block-in 5", 20000), 0);
    kill(cli.pid, SIGSTOP);
    // Meanwhile the same backup goes onto another controller beside it, and
    // no backup may write into the folder.
    CliRun beside = Run({"restore", PathOf("small"), "--port", LinkOf(1), "--no-verify"});
    EXPECT_EQ(beside.exitCode, 0) << Shown(beside);
    beside = Run({"backup", PathOf("small"), "--force", "--port", LinkOf(1)});
    EXPECT_EQ(beside.exitCode, 6) << Shown(beside);
    EXPECT_TRUE(Contains(beside.err, u8"jest w użyciu przez inny dm730")) << Shown(beside);
    WriteWhole(PathOf("small/libraries.lib"), Pattern(10 * BlockSize, 46));
    kill(cli.pid, SIGCONT);
    run = FinishCli(cli, 60000);
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(ReadWhole(MemoryOf(2)) == restored);

    // The leftovers of a swap killed while the new files moved in: every old
    // file aside, two new ones in place, three still parts. Both sets are
    // whole and said to be; --force keeps both, also when it then fails.
    std::string next = PathOf("bk-next");
    StartDevice(1, {}, Pattern(ImageSize, 47));
    ASSERT_EQ(Run({"backup", next, "-q"}).exitCode, 0);
    const char* names[5] = {"firmware.upg", "libraries.lib", "scenes.usr", "manifest.json",
                            "SHA256SUMS"};
    for (int i = 0; i < 5; ++i) {
        std::string name = folder + "/" + names[i];
        std::filesystem::rename(name, name + ".old");
        std::filesystem::copy_file(next + "/" + names[i], i < 2 ? name : name + ".part");
    }
    Bytes oldFirmware = ReadWhole(folder + "/firmware.upg.old");
    run = Run({"backup", folder});
    EXPECT_EQ(run.exitCode, 3) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Poprzednia kopia (" + folder +
                                      u8"/manifest.json.old, ...) "
                                      u8"jest cała.\n  Nowa kopia (" +
                                      folder + u8"/manifest.json.part, ...) jest cała.\n"))
        << Shown(run);
    run = Run({"backup", folder, "--force", "--port", PathOf("nothing")});
    EXPECT_EQ(run.exitCode, 6) << Shown(run);
    EXPECT_TRUE(ReadWhole(folder + "/firmware.upg.old") == oldFirmware) << "kept";
    StartDevice(1, {"--silent-after", "100"}, image);
    run = Run({"backup", folder, "--force", "--retries", "0"});
    EXPECT_EQ(run.exitCode, 1) << Shown(run);
    const std::string movedTo = u8"przeniesiono bez zmian do folderu ";
    size_t at = run.err.find(movedTo);
    ASSERT_NE(at, std::string::npos) << Shown(run);
    at += movedTo.size();
    std::string aside = run.err.substr(at, run.err.find('\n', at) - at);
    EXPECT_TRUE(ReadWhole(aside + "/firmware.upg.old") == oldFirmware) << aside;
    EXPECT_TRUE(ReadWhole(aside + "/scenes.usr.part") == ReadWhole(next + "/scenes.usr"));

    // Texts from a manifest reach the terminal without their control bytes.
    MakeBackup(PathOf("small"), image, blocks);
    Bytes text = ReadWhole(PathOf("small/manifest.json"));
    std::string manifest(text.begin(), text.end());
    manifest.replace(manifest.find("\"3.05\""), 6, "\"\\u001b]0;x\\u0007\"");
    WriteWhole(PathOf("small/manifest.json"), BytesOf(manifest));
    StartDevice(2, {}, Bytes(ImageSize, 0));
    run = Run({"restore", PathOf("small"), "--port", LinkOf(2), "--no-verify"});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"o wersjach ?]0;x? | 1.20.\n")) << Shown(run);
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
    // Only the second version other than the controller's: still said.
    MakeBackup(PathOf("small"), image, blocks);
    text = ReadWhole(PathOf("small/manifest.json"));
    manifest.assign(text.begin(), text.end());
    manifest.replace(manifest.find("\"1.20\""), 6, "\"1.21\"");
    WriteWhole(PathOf("small/manifest.json"), BytesOf(manifest));
    run = Run({"restore", PathOf("small"), "--port", LinkOf(2), "--no-verify"});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"o wersjach 3.05 | 1.21.\n")) << Shown(run);
}

// The port of the controller goes away during the first region of a backup:
// the backup fails there and never takes the other regions from the
// controller on COM2.
TEST_F(Dm730Test, ABackupStaysOnThePortItFoundTheControllerOn) {
    StartDevice(1, {"--turnaround", "5"}, Pattern(ImageSize, 37));
    StartDevice(2, {}, Pattern(ImageSize, 38));
    CliProcess cli;
    ASSERT_EQ(StartCli(cli, {"backup", PathOf("backup")}, dir.Path().string()), 0);
    ASSERT_EQ(WaitSimEvent(sims[0], "block-out 10", 20000), 0);
    ASSERT_EQ(unlink(LinkOf(1).c_str()), 0);
    CliRun run = FinishCli(cli, 60000);
    EXPECT_EQ(run.exitCode, 6) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Nie mogę użyć portu " + LinkOf(1) + u8" : nie istnieje !\n"))
        << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"polecenie nie przechodzi na inny port")) << Shown(run);
    for (const std::string& line : SimLines(sims[1])) EXPECT_NE(line, "ident") << "COM2 was asked";
}

// Ctrl-C while the first of four silent ports is probed: the search ends
// there, the ports after it are never asked.
TEST_F(Dm730Test, CtrlCEndsTheSearchAtThePortItIsOn) {
    for (int port = 1; port <= 4; ++port) StartDevice(port, {"--ident-silent"});
    CliProcess cli;
    ASSERT_EQ(StartCli(cli, {"detect"}, dir.Path().string()), 0);
    ASSERT_EQ(WaitSimEvent(sims[0], "fault ident-silent", 5000), 0);
    kill(cli.pid, SIGINT);
    CliRun run = FinishCli(cli, 10000);
    EXPECT_EQ(run.exitCode, 130) << Shown(run);
    for (int port : {3, 4})
        EXPECT_TRUE(SimLines(sims[port - 1]).size() == 1) << "COM" << port << " was asked";
}

TEST_F(Dm730Test, ControllerIsFoundOnTheThirdOfFourPorts) {
    StartDevice(1, {"--ident-silent"});
    StartDevice(2, {"--ident-nak"});
    StartDevice(3, {"--versions", "4.07,2.31"});
    StartDevice(4, {});
    CliRun run = Run({"detect"});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_EQ(run.out, "Port : " + LinkOf(3) + "\nWersja firmware : 4.07 | 2.31\n") << Shown(run);
    EXPECT_EQ(WaitSimEvent(sims[0], "fault ident-silent", 1000), 0);
    EXPECT_EQ(WaitSimEvent(sims[1], "fault ident-nak", 1000), 0);
    EXPECT_EQ(WaitSimEvent(sims[2], "ident", 1000), 0);
    EXPECT_TRUE(SimLines(sims[3]).size() == 1) << "COM4 was never asked";
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::string TextOf(const std::string& path) {
    Bytes bytes = ReadWhole(path);
    return std::string(bytes.begin(), bytes.end());
}

// A run that fails on the line leaves its last exchanges where the message
// says; a run that does not, or is told not to, leaves none.
TEST_F(Dm730Test, AFailureOnTheLineLeavesATraceToSend) {
    StartDevice(1, {"--bad-checksum", "8"}, Pattern(ImageSize, 3));
    CliRun failed = Run({"read", "firmware", PathOf("a.upg"), "--retries", "0"});
    EXPECT_EQ(failed.exitCode, 1) << Shown(failed);
    std::vector<std::string> traces = TraceFiles();
    ASSERT_EQ(traces.size(), 1u) << Shown(failed);
    EXPECT_TRUE(Contains(failed.err, u8"Ostatnie wymiany z linią zapisałem w " + traces[0] + "\n"))
        << Shown(failed);
    std::string trace = TextOf(traces[0]);
    for (const std::string& part :
         {std::string("dm730 0."), std::string("\nSystem : Linux "),
          "dm730 read firmware " + PathOf("a.upg") + " --retries 0\n",
          "\nPort : " + LinkOf(1) + "  pty  --port " + LinkOf(1) + "\n",
          std::string(u8"\nUstawienia linii : 38400 8N1, sterowanie przepływem : brak\n"),
          std::string("\nWersje Dm730 : 3.05 | 1.20\n"),
          std::string(u8"  ->  polecenie odczytu, blok 9 z 512  [12 08 00 e6]\n")})
        EXPECT_TRUE(Contains(trace, part)) << part << "\n" << trace;
    // The newest exchange is the frame that failed, checksum and all.
    std::string last = trace.substr(trace.rfind('\n', trace.size() - 2) + 1);
    EXPECT_TRUE(Contains(last, u8"<-  ramka danych, blok 9 z 512  [")) << last;
    EXPECT_TRUE(Contains(last, " | suma ")) << last;
    EXPECT_LE(trace.size(), 64u * 1024);

    // Twenty kept, the oldest going first.
    for (int i = 0; i < 21; ++i) Run({"detect", "--port", PathOf("nothing")});
    std::vector<std::string> kept = TraceFiles();
    EXPECT_EQ(kept.size(), 20u);
    EXPECT_TRUE(std::find(kept.begin(), kept.end(), traces[0]) == kept.end());

    CliRun none = Run({"read", "firmware", PathOf("b.upg"), "--retries", "0", "--no-trace"});
    EXPECT_EQ(none.exitCode, 1) << Shown(none);
    EXPECT_FALSE(Contains(none.err, "Ostatnie wymiany")) << Shown(none);
    std::vector<std::string> after = TraceFiles();
    EXPECT_TRUE(after == kept);
    StartDevice(1, {});
    CliRun fine = Run({"detect"});
    EXPECT_EQ(fine.exitCode, 0) << Shown(fine);
    EXPECT_TRUE(TraceFiles() == kept);

    // --trace: every exchange of the run, appended.
    CliRun every = Run({"read", "libraries", PathOf("c.lib"), "--trace", PathOf("all.txt")});
    EXPECT_EQ(every.exitCode, 0) << Shown(every);
    std::string all = TextOf(PathOf("all.txt"));
    EXPECT_TRUE(Contains(all, u8"polecenie odczytu, blok 1 z 384  [12 00 02 ec]")) << all;
    EXPECT_TRUE(Contains(all, u8"ramka danych, blok 384 z 384  [")) << all.substr(0, 2000);
    EXPECT_EQ(CountOf(all, u8"  ->  polecenie odczytu, blok "), 384u);
    EXPECT_EQ(Run({"detect", "--trace", PathOf("all.txt"), "--no-trace"}).exitCode, 2);
}

// The line test's verdict for each kind of line, and the counts behind it.
TEST_F(Dm730Test, ALineTestSaysWhetherTheLineIsSound) {
    struct Case {
        Words sim;
        Words args;
        int exitCode;
        std::vector<std::string> texts;  // on stdout and stderr
    };
    const Case cases[] = {
        {{},
         {"linetest"},
         0,
         {u8"2 odczyty bloków 1-100 programu\n",
          u8"Ponowienia 0, brak odpowiedzi 0, odpowiedzi urwane 0, NAK 0, inne odpowiedzi 0, złe "
          u8"sumy kontrolne 0\n",
          u8"Czas odpowiedzi Dm730 na polecenie : mediana ", u8"Oba odczyty zgodne (100 bloków).\n",
          u8"Werdykt : linia w porządku\n"}},
        {{"--noise-rate", "0.01", "--seed", "3"},
         {"linetest"},
         1,
         {u8"Werdykt : kabel lub adapter\n"}},
        {{"--silent-after", "150"},
         {"linetest", "--retries", "0"},
         1,
         {u8"Odczyt nie doszedł do końca.\n", u8"Werdykt : sterownik\n"}},
        {{"--echo"},
         {"linetest", "--loopback", "--seconds", "1"},
         0,
         {u8" B : zgubione 0, zmienione 0, nadmiarowe 0\n", u8"Werdykt : linia w porządku\n"}},
        {{"--echo", "--noise-rate", "0.002", "--seed", "5"},
         {"linetest", "--loopback", "--port", "com1", "--seconds", "1"},
         1,
         {u8"Werdykt : kabel lub adapter\n"}},
        {{}, {"linetest", "--loopback"}, 2, {u8"odpowiada Dm730, nie wtyczka pętli zwrotnej"}},
        {{"--echo"}, {"linetest"}, 5, {u8"Port " + LinkOf(1) + u8" : wraca echo"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back() + " against " + (c.sim.empty() ? "a controller" : c.sim[0]));
        StartDevice(1, c.sim, Pattern(ImageSize, 21));
        CliRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << Shown(run);
        for (const std::string& text : c.texts)
            EXPECT_TRUE(Contains(run.out + run.err, text)) << text << Shown(run);
        std::vector<std::string> events = SimLines(sims[0]);
        // Reads change nothing, and so many reads, no more.
        EXPECT_EQ(CountLines(events, "command write"), 0);
        if (c.args.size() == 1 && c.exitCode == 0) {
            EXPECT_EQ(CountLines(events, "block-out"), 200);
        }
        // Every byte the plug lost or changed is counted, no other.
        if (c.sim.size() > 1 && c.sim[0] == "--echo") {
            std::string counted =
                " : zgubione " + std::to_string(CountLines(events, "fault echo-lost")) +
                ", zmienione " + std::to_string(CountLines(events, "fault echo-changed")) +
                ", nadmiarowe 0\n";
            EXPECT_GT(CountLines(events, "fault echo-"), 0);
            EXPECT_TRUE(Contains(run.out, counted)) << counted << Shown(run);
        }
    }
}

// What a terminal shows after out: lines, "\r", and the cursor up one line
// and a line cleared, as dm730 redraws its lines.
std::vector<std::string> ScreenOf(const std::string& out) {
    std::vector<std::string> lines(1);
    size_t row = 0, column = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out.compare(i, 4, "\x1b[1A") == 0) {
            row = row > 0 ? row - 1 : 0;
            i += 3;
        } else if (out.compare(i, 4, "\x1b[2K") == 0) {
            lines[row].clear();
            i += 3;
        } else if (out[i] == '\r') {
            column = 0;
        } else if (out[i] == '\n') {
            if (++row == lines.size()) lines.emplace_back();
            column = 0;
        } else {
            if (lines[row].size() < column + 1) lines[row].resize(column + 1, ' ');
            lines[row][column++] = out[i];
        }
    }
    return lines;
}

nlohmann::json LastEvent(const std::string& out) {
    std::string last = out.substr(out.rfind('\n', out.size() - 2) + 1);
    return nlohmann::json::parse(last);
}

// --json: stdout is events alone, each valid against the schema in the
// repository, the result's exit code the process's own.
TEST_F(Dm730Test, JsonEventsForProgramsFollowTheSchema) {
    Bytes image = Pattern(ImageSize, 9);
    StartDevice(1, {"--late-answer", "515"}, image);
    Bytes file = Slice(image, 512, 2);
    file[5] ^= 0x10;
    file[300] ^= 0x01;
    WriteWhole(PathOf("two.lib"), file);
    WriteWhole(PathOf("short.lib"), Bytes(600, 4));
    struct Case {
        Words args;
        int exitCode;
        std::vector<std::string> events;  // each appears, in this order
    };
    const Case cases[] = {
        {{"ports"}, 0, {"port"}},
        {{"detect"}, 0, {"controller"}},
        // The late answer of block 4 is one retry.
        {{"read", "libraries", PathOf("r.lib")},
         0,
         {"controller", "progress", "retry", "regionEnd"}},
        // Every difference, also past the listing's limit.
        {{"verify", "libraries", PathOf("two.lib"), "--max-differences", "1"},
         4,
         {"controller", "difference", "difference", "regionEnd"}},
        {{"write", "libraries", PathOf("short.lib")}, 0, {"controller", "progress", "regionEnd"}},
        {{"read", "libraries", PathOf("r.lib")}, 3, {}},
        {{"detect", "--port", PathOf("nothing")}, 6, {}},
        {{"bogus"}, 2, {}},
    };
    std::vector<std::string> files;
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        Words args = c.args;
        args.push_back("--json");
        SCOPED_TRACE(c.args[0] + " " + std::to_string(i));
        CliRun run = Run(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << Shown(run);
        files.push_back(PathOf("events" + std::to_string(i) + ".txt"));
        WriteWhole(files.back(), BytesOf(run.out));
        ASSERT_FALSE(run.out.empty()) << Shown(run);
        nlohmann::json result = LastEvent(run.out);
        EXPECT_EQ(result["exitCode"], c.exitCode) << run.out;
        size_t at = 0;
        for (const std::string& event : c.events) {
            at = run.out.find("{\"event\":\"" + event + "\"", at);
            EXPECT_NE(at, std::string::npos) << event << " missing\n" << run.out;
            if (at == std::string::npos) break;
            ++at;
        }
        // The people's text went to stderr.
        EXPECT_FALSE(Contains(run.out, "Port :")) << run.out;
    }
    EXPECT_TRUE(Contains(TextOf(files[3]), "\"position\":5,\"fileOffset\":5,"));
    EXPECT_TRUE(Contains(TextOf(files[1]), "\"firmwareVersion\":\"3.05\""));
    EXPECT_TRUE(Contains(TextOf(files[6]), "\"code\":\"port-unusable\""));
    // A write's progress counts the blocks the file fills, not the region's.
    EXPECT_TRUE(Contains(TextOf(files[4]), "\"action\":\"write\",\"block\":1,\"blocks\":3,"))
        << TextOf(files[4]);
    EXPECT_FALSE(Contains(TextOf(files[4]), "\"blocks\":384")) << TextOf(files[4]);
    std::string validate = std::string("python3 ") + SOURCE_DIR + "/tests/validate_events.py " +
                           SOURCE_DIR + "/schemas/dm730-events.schema.json";
    std::string all = validate;
    for (const std::string& f : files) all += " '" + f + "'";
    EXPECT_EQ(std::system(all.c_str()), 0);
    // The check itself finds what is wrong: text that is not ASCII, an
    // event the schema does not know, a stream without its result.
    WriteWhole(PathOf("bad.txt"), BytesOf(TextOf(files[1]) + u8"Port : ż\n"));
    WriteWhole(PathOf("unknown.txt"), BytesOf("{\"schema\":\"dm730-events\",\"version\":\"1.1\","
                                              "\"program\":\"dm730 1\",\"command\":\"detect\"}\n"
                                              "{\"event\":\"nonsense\"}\n"));
    for (const char* bad : {"bad.txt", "unknown.txt"}) {
        std::string one = validate + " '" + PathOf(bad) + "' 2>/dev/null";
        EXPECT_NE(std::system(one.c_str()), 0) << bad;
    }
}

// Several controllers in one command, each in a process of its own: one's
// failure never stops the others, and the table says who ended how.
TEST_F(Dm730Test, ManyControllersInOneCommand) {
    Bytes firmware = Pattern(512 * BlockSize, 5);
    WriteWhole(PathOf("fw.upg"), firmware);
    StartDevice(1, {}, Bytes(ImageSize, 0));
    StartDevice(2, {"--silent-after", "40"}, Bytes(ImageSize, 0));
    StartDevice(3, {"--versions", "4.07,2.31"}, Bytes(ImageSize, 0));
    CliRun write = Run({"write", "firmware", PathOf("fw.upg"), "--port", "com1", "--port", "com2",
                        "--port", "com3", "--retries", "0"});
    // The worst of 0, 1 and 0.
    EXPECT_EQ(write.exitCode, 1) << Shown(write);
    EXPECT_TRUE(Slice(ReadWhole(MemoryOf(1)), 0, 512) == firmware);
    EXPECT_TRUE(Slice(ReadWhole(MemoryOf(3)), 0, 512) == firmware);
    for (const std::string& row : {LinkOf(1) + "  -             3.05 | 1.20    0     ",
                                   LinkOf(2) + "  -             3.05 | 1.20    1     ",
                                   LinkOf(3) + "  -             4.07 | 2.31    0     "})
        EXPECT_TRUE(Contains(write.out, row)) << row << Shown(write);
    EXPECT_TRUE(Contains(write.out, u8"błąd urządzenia lub łącza")) << Shown(write);
    // Every message says whose it is.
    EXPECT_TRUE(Contains(write.err, "[com2] ")) << Shown(write);
    EXPECT_TRUE(Contains(write.err, u8"[com1] zapis, firmware : blok ")) << Shown(write);
    EXPECT_TRUE(Contains(write.err, u8"[com2]   (blok 41 z 512, faza 5 : ")) << Shown(write);
    // Each child's progress comes once, as the parent's line.
    EXPECT_FALSE(Contains(write.err, u8"Zapisywanie do Dm730")) << Shown(write);

    // --all: the ports where a controller answers, and a backup of each in its own folder.
    StartDevice(2, {"--ident-silent"});
    CliRun backup = Run({"backup", PathOf("fleet"), "--all"});
    EXPECT_EQ(backup.exitCode, 0) << Shown(backup);
    for (const char* name : {"com1", "com3"})
        EXPECT_TRUE(std::filesystem::exists(PathOf("fleet/") + name + "/manifest.json")) << name;
    EXPECT_FALSE(std::filesystem::exists(PathOf("fleet/com2")));
    std::string manifest = TextOf(PathOf("fleet/com3/manifest.json"));
    EXPECT_TRUE(Contains(manifest, "\"firmwareVersion\": \"4.07\"")) << manifest;

    // Events for programs carry their port; the parent's result is the worst.
    // A port named twice is run once.
    CliRun json = Run({"detect", "--port", "com1", "--port", "com2", "--port", "COM1", "--json"});
    EXPECT_EQ(json.exitCode, 5) << Shown(json);
    EXPECT_TRUE(Contains(json.out, "\"port\":\"" + LinkOf(2) + "\"}")) << json.out;
    EXPECT_EQ(LastEvent(json.out)["code"], "no-controller");
    EXPECT_EQ(CountOf(json.out, "{\"event\":\"controller\""), 1u) << json.out;
    WriteWhole(PathOf("many.txt"), BytesOf(json.out));
    std::string validate = std::string("python3 ") + SOURCE_DIR + "/tests/validate_events.py " +
                           SOURCE_DIR + "/schemas/dm730-events.schema.json '" + PathOf("many.txt") +
                           "'";
    EXPECT_EQ(std::system(validate.c_str()), 0);
    // A stop sent to the parent alone reaches every controller's process, and
    // the table says where each stopped.
    StartDevice(1, {"--turnaround", "5"}, Bytes(ImageSize, 0));
    StartDevice(3, {"--turnaround", "5"}, Bytes(ImageSize, 0));
    CliProcess parent;
    ASSERT_EQ(StartCli(parent,
                       {"write", "firmware", PathOf("fw.upg"), "--port", "com1", "--port", "com3"},
                       dir.Path().string()),
              0);
    ASSERT_EQ(WaitSimEvent(sims[0], "block-in 20 ack", 20000), 0);
    ASSERT_EQ(WaitSimEvent(sims[2], "block-in 20 ack", 20000), 0);
    kill(parent.pid, SIGINT);
    CliRun stopped = FinishCli(parent, 20000);
    EXPECT_EQ(stopped.exitCode, 130) << Shown(stopped);
    EXPECT_EQ(CountOf(stopped.out, u8"przerwano (Ctrl-C) przy bloku "), 2u) << Shown(stopped);
    // On a terminal: one line per port redrawn in place, each message above
    // them; what stays on screen is each port's last line, then the table.
    StartDevice(1, {"--turnaround", "2"}, Bytes(ImageSize, 0));
    StartDevice(2, {"--silent-after", "300"}, Bytes(ImageSize, 0));
    StartDevice(3, {"--turnaround", "2"}, Bytes(ImageSize, 0));
    CliRun shown = RunCliOnTerminal({"write", "firmware", PathOf("fw.upg"), "--port", "com1",
                                     "--port", "com2", "--port", "com3", "--retries", "0"},
                                    dir.Path().string());
    EXPECT_EQ(shown.exitCode, 1) << Shown(shown);
    std::vector<std::string> screen = ScreenOf(shown.out);
    auto at = [&](const std::string& start) {
        int found = -1;
        for (size_t i = 0; i < screen.size(); ++i)
            if (screen[i].rfind(start, 0) == 0) found = found < 0 ? int(i) : -2;
        return found;  // -1: missing, -2: more than once
    };
    int failed = at(u8"[com2] Błąd potwierdzenia : brak danych : 0");
    int first = at(u8"[com1] gotowe");
    EXPECT_GE(failed, 0) << shown.out;
    EXPECT_GT(first, failed) << shown.out;
    EXPECT_EQ(at(u8"[com2] błąd urządzenia lub łącza"), first + 1) << shown.out;
    EXPECT_EQ(at(u8"[com3] gotowe"), first + 2) << shown.out;
    EXPECT_EQ(at(u8"Port "), first + 3) << shown.out;
    EXPECT_EQ(at("[com1] zapis"), -1) << "no progress line left behind\n" << shown.out;
    EXPECT_TRUE(Contains(shown.out, "[com1] zapis, firmware : blok ")) << shown.out;

    // One backup onto three controllers at once; the one that stops keeps its
    // own record, and a resume there finishes it while the others are done.
    const unsigned blocks[3] = {40, 20, 60};
    Bytes restored = MakeBackup(PathOf("show"), Pattern(ImageSize, 12), blocks);
    StartDevice(1, {}, Bytes(ImageSize, 0));
    StartDevice(2, {"--silent-after", "100"}, Bytes(ImageSize, 0));
    StartDevice(3, {}, Bytes(ImageSize, 0));
    CliRun restore = Run({"restore", PathOf("show"), "--port", "com1", "--port", "com2", "--port",
                          "com3", "--retries", "0"});
    EXPECT_EQ(restore.exitCode, 1) << Shown(restore);
    EXPECT_TRUE(ReadWhole(MemoryOf(1)) == restored);
    EXPECT_TRUE(ReadWhole(MemoryOf(3)) == restored);
    EXPECT_TRUE(Contains(restore.err, "[com2] " + std::string(u8"Aby dokończyć : dm730 restore ")))
        << Shown(restore);
    EXPECT_TRUE(std::filesystem::exists(PathOf("show/restore-progress-com2.json")));
    EXPECT_FALSE(std::filesystem::exists(PathOf("show/restore-progress-com1.json")));
    EXPECT_FALSE(std::filesystem::exists(PathOf("show/restore-progress-com3.json")));
    // Finished on com2 alone; com1 has nothing to finish.
    StartDevice(2, {}, ReadWhole(MemoryOf(2)));
    CliRun resumed = Run({"restore", PathOf("show"), "--port", "com2", "--port", "com1", "--resume",
                          "--retries", "0"});
    EXPECT_EQ(resumed.exitCode, 3) << Shown(resumed);
    EXPECT_TRUE(Contains(resumed.err, "[com1] " + std::string(u8"Brak zapisu przerwanego "
                                                              u8"odtwarzania kopii ")))
        << Shown(resumed);
    EXPECT_TRUE(ReadWhole(MemoryOf(2)) == restored);
    EXPECT_FALSE(std::filesystem::exists(PathOf("show/restore-progress-com2.json")));
    // A command that works on one controller refuses several.
    EXPECT_EQ(
        Run({"read", "firmware", PathOf("x.upg"), "--port", "com1", "--port", "com3"}).exitCode, 2);
}

// The language: --lang, else DM730_LANG, else the locale; Polish unless
// asked otherwise. Whole runs in English say nothing in Polish.
TEST_F(Dm730Test, EnglishWhenTheUserAsksForIt) {
    StartDevice(1, {}, Bytes(ImageSize, 0));
    StartDevice(3, {}, Bytes(ImageSize, 0));
    WriteWhole(PathOf("fw.upg"), Pattern(3 * BlockSize, 8));
    StartDevice(2, {"--ident-silent"});
    const char* lang = std::getenv("LANG");
    const std::string oldLang = lang != nullptr ? lang : "";
    struct Choice {
        const char* variable;  // DM730_LANG, null: unset
        const char* lang;      // LANG
        const char* lcAll;     // LC_ALL, null: unset
        Words args;
        bool english;  // what it should speak
        int exitCode;
        std::string text;
    };
    const Choice choices[] = {
        {nullptr, "en_US.UTF-8", nullptr, {"--help"}, true, 0, "Exit codes:\n"},
        {nullptr, "pl_PL.UTF-8", nullptr, {"--help"}, false, 0, u8"Kody wyjścia:\n"},
        {nullptr, nullptr, nullptr, {"--help"}, false, 0, u8"Kody wyjścia:\n"},
        {nullptr, "C.UTF-8", nullptr, {"--help"}, false, 0, u8"Kody wyjścia:\n"},
        {nullptr, "en_US.UTF-8", "pl_PL.UTF-8", {"--help"}, false, 0, u8"Kody wyjścia:\n"},
        {"en",
         "pl_PL.UTF-8",
         nullptr,
         {"frobnicate"},
         true,
         2,
         "dm730: unknown command: frobnicate\n"},
        {"pl", "en_US.UTF-8", nullptr, {"--lang", "en", "ports"}, true, 0, "  pty  free  --port "},
        {"en", nullptr, nullptr, {"--help", "--lang=pl"}, false, 0, u8"Kody wyjścia:\n"},
        // A word that is no language: refused on the command line, passed
        // over with a warning in the variable.
        {"pl",
         nullptr,
         nullptr,
         {"--lang", "de", "ports"},
         false,
         2,
         u8"--lang : pl albo en, nie : de\n"},
        {"german",
         "en_US.UTF-8",
         nullptr,
         {"--version"},
         true,
         0,
         "DM730_LANG=german: unknown language (pl or en), passed over\n"},
        // A transfer: the port, the progress into a file, the summary.
        {"en",
         nullptr,
         nullptr,
         {"write", "firmware", PathOf("fw.upg"), "--port", "com1"},
         true,
         0,
         "Port: " + LinkOf(1) + "\n"},
        {"en",
         nullptr,
         nullptr,
         {"write", "firmware", PathOf("fw.upg"), "--port", "com1", "--verify"},
         true,
         0,
         "Writing to Dm730: firmware: done, wrote 4 blocks, read 4 back without differences in "},
        {"en",
         nullptr,
         nullptr,
         {"read", "firmware", PathOf("back.upg"), "--port", "com1"},
         true,
         0,
         "Reading from Dm730: firmware: done, 512 blocks in "},
        {"en",
         nullptr,
         nullptr,
         {"verify", "firmware", PathOf("back.upg"), "--port", "com1"},
         true,
         0,
         "Verifying: firmware: done, 512 blocks without differences in "},
        // Several controllers: the children speak the parent's language.
        {"pl",
         nullptr,
         nullptr,
         {"detect", "--port", "com1", "--port", "com3", "--lang", "en"},
         true,
         0,
         "Serial        Versions       Code  Time      Result\n"},
        {nullptr,
         "en_GB.UTF-8",
         nullptr,
         {"detect", "--port", "com1", "--port", "com2"},
         true,
         5,
         "[com2] No Dm730 found!\n"},
    };
    for (const Choice& c : choices) {
        SCOPED_TRACE(c.args[0] + " " + (c.variable ? c.variable : "-") + " " +
                     (c.lang ? c.lang : "-"));
        for (const auto& [name, value] :
             {std::pair<const char*, const char*>{"DM730_LANG", c.variable},
              {"LANG", c.lang},
              {"LC_ALL", c.lcAll}}) {
            if (value != nullptr)
                setenv(name, value, 1);
            else
                unsetenv(name);
        }
        CliRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << Shown(run);
        EXPECT_TRUE(Contains(run.out + run.err, c.text)) << Shown(run);
        EXPECT_EQ(IsAscii(run.out + run.err), c.english) << Shown(run);
    }
    setenv("DM730_LANG", "pl", 1);
    if (lang != nullptr)
        setenv("LANG", oldLang.c_str(), 1);
    else
        unsetenv("LANG");
    unsetenv("LC_ALL");

    // For programs the result's meaning stays in both languages; what failed
    // is told in the language asked for.
    StartDevice(1, {"--nak-block", "2", "--ident-faults-after", "1"}, Bytes(ImageSize, 0));
    CliRun json = Run({"write", "firmware", PathOf("fw.upg"), "--port", "com1", "--retries", "0",
                       "--json", "--lang", "en"});
    EXPECT_EQ(json.exitCode, 1) << Shown(json);
    nlohmann::json result = LastEvent(json.out);
    EXPECT_EQ(result["message"]["en"], "the device or the line failed");
    EXPECT_EQ(result["message"]["pl"], u8"błąd urządzenia lub łącza");
    EXPECT_TRUE(Contains(result.value("detail", ""), "Transfer failed: NAK")) << json.out;
}

// Four lines that are no controller, each told apart, each hint given once.
TEST_F(Dm730Test, NoControllerSaysWhatEachLineDid) {
    StartDevice(1, {"--ident-silent"});
    StartDevice(2, {"--echo"});
    StartDevice(3, {"--garbage"});
    StartDevice(4, {"--wrong-speed"});
    struct Case {
        std::string line;  // what the port's line did
        std::string hint;
    };
    const Case cases[] = {
        {"Port " + LinkOf(1) + u8" : cisza, nic nie odpowiedziało", u8"Cisza : "},
        {"Port " + LinkOf(2) + u8" : wraca echo wysłanych bajtów (1b) : wtyczka pętli",
         u8"Echo : zdejmij wtyczkę"},
        {"Port " + LinkOf(3) + u8" : odpowiedź nie jest identyfikacją Dm730 : 45 52 52 3f 0d 0a.",
         u8"Obca odpowiedź : "},
        {"Port " + LinkOf(4) +
             u8" : bajty z błędami ramki (zła prędkość lub zakłócenia) ; odebrane : f8 00 00 f0",
         u8"Błędy ramki : Dm730 i przetwornik muszą pracować z prędkością 38400"},
    };
    CliRun search = Run({"detect"});
    EXPECT_EQ(search.exitCode, 5) << Shown(search);
    for (const Case& c : cases) {
        EXPECT_EQ(CountOf(search.err, c.line), 1u) << c.line << Shown(search);
        EXPECT_EQ(CountOf(search.err, c.hint), 1u) << c.hint << Shown(search);
    }
    // Any command says it for the port it was given; a slower controller still
    // shows the pattern of a wrong speed.
    StartDevice(4, {"--wrong-speed=19200"});
    CliRun one = Run({"read", "firmware", PathOf("x.upg"), "--port", "com4"});
    EXPECT_EQ(one.exitCode, 5) << Shown(one);
    EXPECT_TRUE(Contains(one.err, u8"odebrane : 1e 80 66 80 06 80.")) << Shown(one);
    EXPECT_FALSE(std::filesystem::exists(PathOf("x.upg")));
    // Two silent ports, one hint.
    StartDevice(2, {"--ident-silent"});
    CliRun twice = Run({"detect"});
    EXPECT_EQ(CountOf(twice.err, u8" : cisza, nic nie odpowiedziało"), 2u) << Shown(twice);
    EXPECT_EQ(CountOf(twice.err, u8"Cisza : "), 1u) << Shown(twice);
}

// Ports the system keeps from this user, as a technician meets them (the
// test's own root privileges would hide both).
TEST_F(Dm730Test, PortsTheSystemRefusesSayWhy) {
    StartDevice(1, {});
    StartDevice(2, {});
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
    std::filesystem::permissions(ports.Path(), std::filesystem::perms::all);
    std::string pty1 = std::filesystem::read_symlink(LinkOf(1));
    std::string pty2 = std::filesystem::read_symlink(LinkOf(2));
    // COM1: another program holds it with TIOCEXCL and no lock.
    ASSERT_EQ(chmod(pty1.c_str(), 0666), 0);
    int held = open(pty1.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(ioctl(held, TIOCEXCL), 0);
    // COM2: this user may not open it.
    ASSERT_EQ(chmod(pty2.c_str(), 0600), 0);
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(pty2.c_str(), 0), 0);
    }
    CliRun given = RunCliUnprivileged({"detect", "--port", "com1"}, dir.Path().string());
    CliRun search = RunCliUnprivileged({"detect"}, dir.Path().string());
    close(held);
    EXPECT_EQ(given.exitCode, 6) << Shown(given);
    EXPECT_TRUE(Contains(given.err, u8" : zajęty przez inny program !")) << Shown(given);
    EXPECT_EQ(search.exitCode, 5) << Shown(search);
    EXPECT_TRUE(Contains(search.err, "Port " + LinkOf(1) + u8" pominięty : zajęty przez inny"))
        << Shown(search);
    EXPECT_TRUE(Contains(search.err, "Port " + LinkOf(2) + u8" pominięty : brak uprawnień\n"))
        << Shown(search);
    EXPECT_EQ(CountOf(search.err, u8"Porty szeregowe należą do grupy dialout"), 1u)
        << Shown(search);
}

// What needs no transfer, and what is wrong before the line is used: usage,
// files, no controller.
TEST_F(Dm730Test, CommandsBeforeATransferAndTheirExitCodes) {
    StartDevice(1, {});
    WriteWhole(PathOf("x.dat"), Bytes(10, 1));
    WriteWhole(PathOf("have.lib"), Bytes{'o', 'l', 'd'});
    // Refused to this user (root is refused nothing, so the row shows it only
    // to others).
    WriteWhole(PathOf("closed"), Bytes{});
    chmod(PathOf("closed").c_str(), 0);
    bool root = geteuid() == 0;
    WriteWhole(PathOf("empty.lib"), Bytes());
    WriteWhole(PathOf("long.lib"), Bytes(384 * 256 + 1, 7));
    ASSERT_EQ(mkfifo(PathOf("fifo.lib").c_str(), 0600), 0);
    std::filesystem::create_directory(PathOf("folder.upg"));
    WriteWhole(PathOf("stale.lib.part"), Bytes(600, 9));
    std::filesystem::create_symlink(PathOf("elsewhere"), PathOf("link.lib.part"));
    WriteWhole(PathOf("readonly.lib"), Bytes{'r', 'o'});
    chmod(PathOf("readonly.lib").c_str(), 0444);
    std::filesystem::create_symlink(PathOf("have.lib"), PathOf("linked.lib"));
    // Backups whose manifests name a file of another kind, or go on after a NUL.
    const unsigned blocks[3] = {1, 1, 1};
    MakeBackup(PathOf("wrongkind"), Pattern(ImageSize, 43), blocks);
    Bytes text = ReadWhole(PathOf("wrongkind/manifest.json"));
    std::string manifest(text.begin(), text.end());
    manifest.replace(manifest.find("\"firmware.upg\""), 14, "\"firmware.lib\"");
    WriteWhole(PathOf("wrongkind/manifest.json"), BytesOf(manifest));
    MakeBackup(PathOf("nul"), Pattern(ImageSize, 43), blocks);
    text = ReadWhole(PathOf("nul/manifest.json"));
    text.insert(text.end(), {0, '{', '}'});
    WriteWhole(PathOf("nul/manifest.json"), text);
    struct Case {
        Words args;
        int exitCode;
        std::string text;     // on stdout or stderr
        std::string english;  // the same with DM730_LANG=en
        int lock = 0;         // flock held on com1 by this process meanwhile
        bool whole = false;   // the text is all the output
    };
    const Case cases[] = {
        {{"ports"},
         0,
         LinkOf(1) + "  pty  wolny  --port " + LinkOf(1) + "\n",
         LinkOf(1) + "  pty  free  --port " + LinkOf(1) + "\n",
         0,
         true},
        {{"ports"},
         0,
         LinkOf(1) + u8"  pty  zajęty przez inny program  --port ",
         LinkOf(1) + "  pty  held by another program  --port ",
         LOCK_SH},
        // A selector no port fits lists what is there.
        {{"detect", "--port", "serial=A12345"},
         6,
         u8"Żaden port nie pasuje do serial=A12345. Porty :\n  " + LinkOf(1) + "  pty  wolny",
         "No port fits serial=A12345. Ports:\n  " + LinkOf(1) + "  pty  free"},
        // What `ports` lists, --port takes, also by the link's name in either case.
        {{"detect", "--port", "COM1"},
         0,
         "Port : " + LinkOf(1) + "\n",
         "Port: " + LinkOf(1) + "\nFirmware version: 3.05 | 1.20\n"},
        {{"detect", "--port", "com1"},
         6,
         u8"Nie mogę użyć portu " + LinkOf(1) + u8" : zajęty przez inny program !\n",
         "Cannot use port " + LinkOf(1) + ": held by another program!\n",
         LOCK_SH},
        {{"detect", "--port", LinkOf(1)},
         6,
         u8" : zajęty przez inny program !\n",
         ": held by another program!\n",
         LOCK_EX},
        {{"detect", "--port", PathOf("x.dat")},
         6,
         u8" : to nie jest port szeregowy !\n",
         ": not a serial port!\n"},
        {{"detect", "--port", PathOf("closed")},
         6,
         root ? u8" : to nie jest port szeregowy !\n"
              : u8" : brak uprawnień !\nPorty szeregowe należą do grupy dialout",
         root ? ": not a serial port!\n"
              : ": no permission!\nSerial ports belong to the group dialout"},
        {{"--help"}, 0, u8"Kody wyjścia:\n  0    gotowe\n", "Exit codes:\n  0    done\n"},
        {{"--help"},
         0,
         u8"program sterownika, .upg: 512 bloków (128 KiB)\n",
         "the controller's firmware, .upg: 512 blocks (128 KiB)\n"},
        {{"help", "read"},
         0,
         u8"  dm730 read RODZAJ PLIK [--port P] [--force] [--resume] [--retries N]\n    odczytaj "
         u8"obszar pamięci Dm730 do pliku\n",
         "  dm730 read KIND FILE [--port P] [--force] [--resume] [--retries N]\n    read a "
         "region of the Dm730's memory into a file\n",
         0,
         true},
        {{"write"},
         2,
         u8"za mało argumentów polecenia write\nUżycie :\n  dm730 write RODZAJ PLIK",
         "too few arguments for command write\nUsage:\n  dm730 write KIND FILE"},
        {{"--bogus", "verify"},
         2,
         u8"nieznana opcja : --bogus\nUżycie :\n  dm730 verify RODZAJ",
         "unknown option: --bogus\nUsage:\n  dm730 verify KIND"},
        {{"-q", "--port", PathOf("nothing"), "verify", "firmware", PathOf("folder.upg")},
         3,
         u8"Błąd otwarcia pliku !\n  (" + PathOf("folder.upg") + u8" : to nie jest zwykły plik",
         "Cannot open the file!\n  (" + PathOf("folder.upg") + ": not a regular file but a folder"},
        {{"write", "libraries", PathOf("fifo.lib")},
         3,
         u8"to nie jest zwykły plik, lecz potok",
         "not a regular file but a pipe"},
        {{"write", "libraries", PathOf("empty.lib")},
         3,
         u8"jest pusty (0 bajtów) ; obszar mieści 98304 bajtów",
         "is empty (0 bytes); the region holds 98304 bytes"},
        {{"write", "libraries", PathOf("long.lib")},
         3,
         u8"ma 98305 bajtów, a obszar mieści 98304 bajtów : nic nie zapisano",
         "has 98305 bytes and the region holds 98304: nothing was written"},
        {{"read", "libraries", PathOf("stale.lib")},
         3,
         u8"2 pełnych bloków z wcześniejszego odczytu.\nDodaj --resume, aby dokończyć tamten "
         u8"odczyt, albo --force",
         "2 whole blocks of an earlier read.\nGive --resume to finish that read, or --force"},
        {{"read", "libraries", PathOf("link.lib"), "--resume"},
         3,
         u8"jest dowiązaniem",
         "is a link; nothing is written through it."},
        {{"write", "libraries", PathOf("x.dat")},
         2,
         u8"Nie zmieniaj rozszerzenia !\n",
         "Do not change the extension!\n  (" + PathOf("x.dat") +
             ": this kind of data needs a .lib file)"},
        {{"verify", "libraries", PathOf("none.lib")},
         3,
         u8"Plik " + PathOf("none.lib") + u8" nie istnieje !\n",
         "File " + PathOf("none.lib") + " does not exist!\n"},
        {{"read", "libraries", PathOf("have.lib")},
         3,
         u8"już istnieje ! Dodaj --force",
         "exists already! Give --force"},
        {{"flash", "scenes"},
         2,
         u8"dm730 : nieznane polecenie : flash\nOpis poleceń : dm730 --help\n",
         "dm730: unknown command: flash\nCommands: dm730 --help\n"},
        {{"detect", "--port", PathOf("nothing")},
         6,
         u8"Nie mogę użyć portu " + PathOf("nothing") + u8" : nie istnieje !\n",
         "Cannot use port " + PathOf("nothing") + ": does not exist!\n"},
        // A search over every port names the ports it could not try.
        {{"detect"},
         5,
         u8"Port " + LinkOf(1) + u8" pominięty : zajęty przez inny program\n",
         "No Dm730 found!\nConnect the device, make it ready to transfer\nand try again.\nPort " +
             LinkOf(1) + " passed over: held by another program\n",
         LOCK_EX},

        {{"restore", PathOf("")},
         3,
         PathOf("manifest.json") + u8": brak pliku",
         PathOf("manifest.json") + ": no such file, this is not a dm730 backup"},
        {{"verify", PathOf("none")},
         3,
         u8"manifest.json: brak pliku",
         "manifest.json: no such file"},
        {{"restore", PathOf(""), "--force"},
         2,
         u8"opcja --force nie dotyczy polecenia restore",
         "option --force does not apply to command restore"},
        // Refusals of a folder before anything is sent say so.
        {{"restore", PathOf("wrongkind")},
         3,
         u8"Plik \"firmware.lib\" ma rozszerzenie innego rodzaju danych niż firmware\nKopia w " +
             PathOf("wrongkind") + u8" nie zgadza się ze swoim opisem : nic nie wysłano.\n",
         "File \"firmware.lib\" has the extension of another kind of data than firmware\nThe "
         "backup in " +
             PathOf("wrongkind") + " does not match its manifest: nothing was sent.\n"},
        {{"verify", PathOf("nul")},
         3,
         u8"manifest.json: to nie jest poprawny tekst JSON (bajt ",
         "manifest.json: not valid JSON text (byte "},
        {{"read", "libraries", PathOf("readonly.lib"), "--force"},
         3,
         PathOf("readonly.lib") + u8" :\nBrak dostępu do zapisu !",
         PathOf("readonly.lib") + ":\nNo write access!"},
        // A link to a regular file is that file: only the port stops this one.
        {{"write", "libraries", PathOf("linked.lib"), "--port", PathOf("nothing")},
         6,
         u8" : nie istnieje !\n",
         ": does not exist!\n"},
        // No folder is made before a controller has answered.
        {{"backup", PathOf("new/backup"), "--port", PathOf("nothing")},
         6,
         u8" : nie istnieje !\n",
         ": does not exist!\n"},
    };
    // Each in Polish, then in English, where nothing Polish is left.
    for (const Case& c : cases) {
        for (const char* language : {"pl", "en"}) {
            SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 2 ? c.args[2] : "") + " lock " +
                         std::to_string(c.lock) + " " + language);
            bool english = std::string(language) == "en";
            setenv("DM730_LANG", language, 1);
            int held = c.lock != 0 ? open(LinkOf(1).c_str(), O_RDWR | O_NOCTTY) : -1;
            if (held >= 0) {
                ASSERT_EQ(flock(held, c.lock | LOCK_NB), 0);
            }
            CliRun run = Run(c.args);
            if (held >= 0) close(held);
            const std::string& text = english ? c.english : c.text;
            EXPECT_EQ(run.exitCode, c.exitCode) << Shown(run);
            if (c.whole) {
                EXPECT_EQ(run.out + run.err, text);
            } else {
                EXPECT_TRUE(Contains(run.out + run.err, text)) << Shown(run);
            }
            if (english) {
                EXPECT_TRUE(IsAscii(run.out + run.err)) << Shown(run);
            }
        }
    }
    setenv("DM730_LANG", "pl", 1);
    EXPECT_TRUE(ReadWhole(PathOf("have.lib")) == (Bytes{'o', 'l', 'd'}));
    EXPECT_TRUE(ReadWhole(PathOf("readonly.lib")) == (Bytes{'r', 'o'}));
    EXPECT_FALSE(std::filesystem::exists(PathOf("new")));
    EXPECT_TRUE(ReadWhole(PathOf("stale.lib.part")) == Bytes(600, 9));
    EXPECT_FALSE(std::filesystem::exists(PathOf("elsewhere")));
    // Every file and usage problem is found before a port is opened.
    int idents = 0, commands = 0;
    for (const std::string& line : SimLines(sims[0])) {
        idents += line == "ident";
        commands += line.compare(0, 7, "command") == 0;
    }
    // Only the search of the row that names COM1 reached the controller, once in each language.
    EXPECT_EQ(idents, 2);
    EXPECT_EQ(commands, 0);
}

}  // namespace

// The real dm730 against the simulated controller on ptys linked into a port
// folder: every command end to end, with its exit code, its Polish output
// (UTF-8, as a Linux terminal gets it) and the files and memory it leaves.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

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

    CliRun Run(const Words& args) {
        CliRun run = RunCli(args, dir.Path().string());
        // A full pipe would hold the simulators up.
        for (SimProcess& sim : sims)
            if (sim.pid > 0) SimLines(sim);
        return run;
    }
};

std::string Shown(const CliRun& run) {
    return "\nexit " + std::to_string(run.exitCode) + "\nstdout:\n" + run.out + "stderr:\n" +
           run.err;
}

TEST_F(Dm730Test, EveryRegionIsWrittenVerifiedAndReadBackWithEveryByteValue) {
    Bytes image = Pattern(ImageSize, 31);
    StartDevice(1, {}, image);
    for (int kind = KindFirmware; kind <= KindScenes; ++kind) {
        SCOPED_TRACE(KindWords[kind]);
        DeviceRegion region = LookUpRegion(kind);
        Bytes data = Pattern(size_t(region.blockCount) * BlockSize, 40 + kind);
        ASSERT_EQ(std::set<uint8_t>(data.begin(), data.end()).size(), 256u);
        std::string file = PathOf(std::string("data") + Extensions[kind]);
        WriteWhole(file, data);

        CliRun run = Run({"write", KindWords[kind], file});
        ASSERT_EQ(run.exitCode, 0) << Shown(run);
        EXPECT_TRUE(Contains(run.out, u8"Port : COM1\n")) << Shown(run);
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
    EXPECT_TRUE(Contains(run.out, " : gotowe, 2 bloki w ")) << Shown(run);
    // A file longer than its region: the region is written, but the rest of
    // the file never reached the controller, and the exit code says so.
    std::string longFile = PathOf("long.lib");
    WriteWhole(longFile,
               Pattern(size_t(LookUpRegion(KindLibraries).blockCount) * BlockSize + 1, 35));
    run = Run({"write", "libraries", longFile});
    EXPECT_EQ(run.exitCode, 3) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"Plik dłuższy niż obszar pamięci !")) << Shown(run);
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
        DeviceRegion region = LookUpRegion(kind);
        EXPECT_TRUE(ReadWhole(folder + "/" + names[kind]) ==
                    Slice(image, region.firstBlock, region.blockCount))
            << names[kind];
    }
    // Output into a file: a line at each tenth of the whole at most, then one closing line.
    size_t percentLines = 0;
    for (size_t at = run.out.find('%'); at != std::string::npos; at = run.out.find('%', at + 1))
        ++percentLines;
    EXPECT_GE(percentLines, 1u) << Shown(run);
    EXPECT_LE(percentLines, 9u) << Shown(run);
    EXPECT_TRUE(Contains(run.out, u8"gotowe, 4096 bloków")) << Shown(run);
    Bytes manifestBytes = ReadWhole(folder + "/manifest.json");
    std::string manifest(manifestBytes.begin(), manifestBytes.end());
    for (const char* part : {"\"port\": \"COM1\"", "\"firmwareVersion\": \"4.07\"",
                             "\"secondVersion\": \"2.31\"", "\"program\": \"dm730 "})
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
    EXPECT_TRUE(Contains(run.out, u8"Odtworzenie kopii " + folder + u8" : gotowe, 8192 bloki w "))
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

    // Again: the files are there, and only --force replaces them.
    StartDevice(1, {}, Pattern(ImageSize, 33));
    run = Run({"backup", folder});
    EXPECT_EQ(run.exitCode, 3) << Shown(run);
    EXPECT_TRUE(Contains(run.err, u8"już istnieje ! Dodaj --force")) << Shown(run);
    EXPECT_TRUE(ReadWhole(folder + "/scenes.usr") == Slice(image, 896, 3200));
    // The third file cannot be replaced (a folder of its name): all five old
    // files stay, the new ones are in their .part files, each named.
    std::filesystem::rename(folder + "/scenes.usr", PathOf("scenes.kept"));
    std::filesystem::create_directories(folder + "/scenes.usr/inside");
    run = Run({"backup", folder, "--force", "--quiet"});
    EXPECT_EQ(run.exitCode, 3) << Shown(run);
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
        unsigned storedBlocks;  // read: blocks in the .part
    };
    const Fault faults[] = {
        {{"--ident-nak"}, "write", u8"Błąd inicjacji : NAK", 0},
        {{"--ident-status", "0x07"}, "read", u8"Błąd inicjacji : błąd ACK :  7", 0},
        {{"--bad-ident-checksum=0x0A"}, "verify", u8"Błąd inicjacji : sumy kontrolnej : a", 0},
        {{"--nak-command", "513"}, "write", u8"Błąd potwierdzenia : NAK", 0},
        {{"--status-byte", "513:0x1B"}, "verify", u8"Błąd potwierdzenia : błąd ACK : 1b", 0},
        {{"--silent-after", "192"}, "read", u8"Błąd potwierdzenia : brak danych : 0", 192},
        {{"--nak-block", "514"}, "write", u8"Błąd przesyłania : NAK", 0},
        {{"--bad-checksum", "514:0x3F"}, "read", u8"Błąd przesyłania : sumy kontrolnej : 3f", 2},
        {{"--short-frame", "513"}, "read", u8"Błąd przesyłania : brak danych : 200", 1},
        {{"--hangup-after", "1"}, "read", u8"Kod błędu : 109", 1},
    };
    Bytes image = Pattern(ImageSize, 34);
    std::string source = PathOf("in.lib");
    WriteWhole(source, Slice(image, 512, 384));
    std::string target = PathOf("out.lib");
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.text);
        Words options = f.options;
        // The detection's own request passes; the transfer's meets the fault.
        options.insert(options.end(), {"--ident-faults-after", "1"});
        StartDevice(1, options, image);
        bool reading = std::string(f.command) == "read";
        WriteWhole(target, Bytes{'k', 'e', 'e', 'p'});
        CliRun run = Run(reading ? Words{"read", "libraries", target, "--force"}
                                 : Words{f.command, "libraries", source});
        EXPECT_EQ(run.exitCode, 1) << Shown(run);
        EXPECT_TRUE(Contains(run.err, std::string(f.text) + "\n")) << Shown(run);
        if (!reading) continue;
        EXPECT_TRUE(ReadWhole(target) == (Bytes{'k', 'e', 'e', 'p'}));
        EXPECT_TRUE(ReadWhole(target + ".part") == Slice(image, 512, f.storedBlocks));
        EXPECT_TRUE(Contains(run.err, u8"out.lib pozostał bez zmian ; odczytane bloki (" +
                                          std::to_string(f.storedBlocks) + u8") są w pliku "))
            << Shown(run);
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
    std::string first = u8"Różnica : blok 513 poz. 3 (bajt 3 pliku) : plik " +
                        std::to_string(file[3]) + ", Dm730 " +
                        std::to_string(image[512 * 256 + 3]) + "\n";
    EXPECT_TRUE(Contains(run.out, first)) << Shown(run);
    EXPECT_TRUE(Contains(run.out, u8"Różnica : blok 514 poz. 44 (bajt 300 pliku)")) << Shown(run);
    EXPECT_FALSE(Contains(run.out, u8"poz. 45")) << "beyond the limit";
    EXPECT_TRUE(Contains(run.out, u8"Różnic : 5 (pokazano 2)\n")) << Shown(run);

    // A controller that acknowledges a block and stores it changed: only the
    // read-back of write --verify tells.
    StartDevice(1, {"--store-changed", "600:0x10"}, image);
    run = Run({"write", "libraries", path, "--verify"});
    EXPECT_EQ(run.exitCode, 4) << Shown(run);
    EXPECT_EQ(WaitSimEvent(sims[0], "fault store-changed 600 0x10", 1000), 0);
    EXPECT_TRUE(Contains(run.out, u8"Różnica : blok 601 poz. 0 (bajt 22528 pliku)")) << Shown(run);
    EXPECT_TRUE(Contains(run.out, u8"Różnic : 1\n")) << Shown(run);
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
}

TEST_F(Dm730Test, ControllerIsFoundOnTheThirdOfFourPorts) {
    StartDevice(1, {"--ident-silent"});
    StartDevice(2, {"--ident-nak"});
    StartDevice(3, {"--versions", "4.07,2.31"});
    StartDevice(4, {});
    CliRun run = Run({"detect"});
    EXPECT_EQ(run.exitCode, 0) << Shown(run);
    EXPECT_EQ(run.out, u8"Port : COM3\nWersja firmware : 4.07 | 2.31\n") << Shown(run);
    EXPECT_EQ(WaitSimEvent(sims[0], "fault ident-silent", 1000), 0);
    EXPECT_EQ(WaitSimEvent(sims[1], "fault ident-nak", 1000), 0);
    EXPECT_EQ(WaitSimEvent(sims[2], "ident", 1000), 0);
    EXPECT_TRUE(SimLines(sims[3]).size() == 1) << "COM4 was never asked";
}

// What needs no transfer, and what is wrong before the line is used: usage,
// files, no controller.
TEST_F(Dm730Test, CommandsBeforeATransferAndTheirExitCodes) {
    StartDevice(1, {});
    WriteWhole(PathOf("x.dat"), Bytes(10, 1));
    WriteWhole(PathOf("have.lib"), Bytes{'o', 'l', 'd'});
    struct Case {
        Words args;
        int exitCode;
        std::string text;  // on stdout or stderr
    };
    const Case cases[] = {
        {{"ports"}, 0, "COM1\n"},
        {{"--help"}, 0, u8"Kody wyjścia:\n  0    gotowe\n"},
        {{"write", "libraries", PathOf("x.dat")}, 2, u8"Nie zmieniaj rozszerzenia !\n"},
        {{"verify", "libraries", PathOf("none.lib")},
         3,
         u8"Plik " + PathOf("none.lib") + u8" nie istnieje !\n"},
        {{"read", "libraries", PathOf("have.lib")}, 3, u8"już istnieje ! Dodaj --force"},
        {{"flash", "scenes"},
         2,
         u8"dm730 : nieznane polecenie : flash\nOpis poleceń : dm730 --help\n"},
        {{"detect", "--port", PathOf("nothing")}, 5, u8"Nie znalazłem Dm730 !\nPodłącz urządzenie"},
        {{"restore", PathOf("")}, 3, PathOf("manifest.json") + u8": brak pliku"},
        {{"verify", PathOf("none")}, 3, u8"manifest.json: brak pliku"},
        {{"restore", PathOf(""), "--force"}, 2, u8"opcja --force nie dotyczy polecenia restore"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        CliRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << Shown(run);
        EXPECT_TRUE(Contains(run.out + run.err, c.text)) << Shown(run);
    }
    EXPECT_TRUE(ReadWhole(PathOf("have.lib")) == (Bytes{'o', 'l', 'd'}));
    // Two searches found the controller; no file problem reached the line.
    int idents = 0, commands = 0;
    for (const std::string& line : SimLines(sims[0])) {
        idents += line == "ident";
        commands += line.compare(0, 7, "command") == 0;
    }
    EXPECT_EQ(idents, 2);
    EXPECT_EQ(commands, 0);
}

}  // namespace

// The engine as the program runs it, without the window: the termios channel,
// the state machine and a main loop that steps it the way the program's does.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "operator/operator.h"
#include "bench.h"
#include "serial/port_open.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"
#include "support/prepared_transfer.h"
#include "support/byte_files.h"
#include "support/operator_recorder.h"
#include "support/port_folder.h"
#include "support/sim_process.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "protocol/regions.h"
#include "transfer/transfer.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Steps until the transfer is idle or `stop` holds, at most limitSeconds; a
// step that found its operation pending is followed by a wait on the line, as
// in the program's main loop. False on a box or when the time ran out.
bool Pump(double limitSeconds, SimProcess* sim, const std::function<bool()>& stop = nullptr) {
    Clock::time_point start = Clock::now();
    unsigned steps = 0;
    while (TransferJob.phase != PhaseIdle && !(stop && stop())) {
        if (SecondsSince(start) > limitSeconds) {
            std::fprintf(stderr, "selvo-bench: still in phase %d at block %u after %.0f s\n",
                         int(TransferJob.phase), unsigned(TransferJob.nextBlock), limitSeconds);
            return false;
        }
        StepTransfer(unsigned(TransferJob.phase));
        if (StepFoundPending()) WaitForChannel(ChannelWaitLimitMs, WakeForLine);
        if (sim != nullptr && ++steps % 256 == 0) SimLines(*sim);
    }
    for (const ShownBox& box : Screen.boxes)
        std::fprintf(stderr, "selvo-bench: the transfer showed \"%s\"\n", box.text.c_str());
    return Screen.boxes.empty();
}

}  // namespace

int RunEngineSpeed(unsigned blocks) {
    PortFolder folder;
    SimProcess sim;
    std::string memory = folder.PathOf("memory.img");
    std::string file = folder.PathOf("scenes.usr");
    WriteWhole(file, Pattern(size_t(blocks) * BlockSize, 13));
    if (StartSim(sim, folder.PathOf("com1"), {"--memory", memory}) != 0 ||
        OpenChannel("COM1") != PortOpened || ConfigureChannel() != PortOpened) {
        std::fprintf(stderr, "selvo-bench: the simulator did not come up\n");
        return 1;
    }
    struct {
        const char* name;
        TransferAction action;
        std::string path;
    } runs[] = {
        {"write_blocks_per_s", ActionWriteToDevice, file},
        {"read_blocks_per_s", ActionReadFromDevice, folder.PathOf("back.usr")},
    };
    int status = 0;
    for (const auto& run : runs) {
        ResetScreen();
        unsigned end = LookUpRegion(KindScenes).firstBlock + blocks;
        // The handshake is not part of the block rate.
        bool ran = BeginPreparedTransfer(run.action, KindScenes, run.path) &&
                   Pump(10, &sim, [] { return TransferJob.phase == PhaseSendCommand; });
        Clock::time_point start = Clock::now();
        ran = ran && Pump(300, &sim, [end] { return TransferJob.nextBlock == end; });
        double seconds = SecondsSince(start);
        if (!ran || TransferJob.nextBlock != end) {
            std::fprintf(stderr, "selvo-bench: %s ended at block %u\n", run.name,
                         unsigned(TransferJob.nextBlock));
            status = 1;
            break;
        }
        std::printf("%s %.1f\n", run.name, blocks / seconds);
        StopTransfer();
    }
    CloseChannel();
    StopSim(sim);
    ResetTransferJob();
    return status;
}

int RunPacedWrite(const char* portDir, const char* file) {
    setenv("SELVO_PORT_DIR", portDir, 1);
    if (OpenChannel("COM1") != PortOpened || ConfigureChannel() != PortOpened) {
        std::fprintf(stderr, "selvo-bench: COM1 of %s cannot be opened\n", portDir);
        return 1;
    }
    // Its processor share is taken by tools/bench.sh from outside, as for every client.
    bool ran = BeginPreparedTransfer(ActionWriteToDevice, KindFirmware, file) && Pump(120, nullptr);
    unsigned end = LookUpRegion(KindFirmware).firstBlock + LookUpRegion(KindFirmware).blockCount;
    CloseChannel();
    if (!ran || TransferJob.nextBlock != end) {
        std::fprintf(stderr, "selvo-bench: the paced write ended at block %u\n",
                     unsigned(TransferJob.nextBlock));
        return 1;
    }
    return 0;
}

int RunSilentDetection(unsigned ports) {
    PortFolder folder;
    std::vector<int> masters;
    for (unsigned i = 1; i <= ports; ++i) {
        // A line nobody answers on: the far end is held open and never written.
        int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        const char* slave = master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0
                                ? ptsname(master)
                                : nullptr;
        std::string link = folder.PathOf("com" + std::to_string(i));
        if (slave == nullptr || symlink(slave, link.c_str()) != 0) {
            std::fprintf(stderr, "selvo-bench: no pseudo-terminal for COM%u\n", i);
            return 1;
        }
        masters.push_back(master);
    }
    BuildPortTable();
    Clock::time_point start = Clock::now();
    DetectOutcome found = DetectDevice();
    double seconds = SecondsSince(start);
    FreePortTable();
    for (int master : masters) close(master);
    if (found == DeviceFound) {
        std::fprintf(stderr, "selvo-bench: a silent port answered\n");
        return 1;
    }
    std::printf("seconds_per_port %.3f\n", seconds / ports);
    return 0;
}

// The transfer state machine over the scripted channel, against a device
// model, with whatever the line may do: late, lost, corrupted and extra bytes,
// stalled and failed polls, refusals, stops. Every success the machine claims
// is checked against what the device acknowledged:
// - a transfer that ends in phase 0 without any message has covered all its
//   blocks, and each of them is in the device as the file has it (write) or in
//   the file as the device has it (read, verify);
// - no step runs away: the machine ends within a bounded number of steps;
// - the same holds when failed blocks are tried again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "fuzz_checks.h"
#include "operator/operator.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "serial/serial_channel.h"
#include "support/fake_channel.h"
#include "support/operator_recorder.h"
#include "support/prepared_transfer.h"
#include "transfer/transfer.h"

namespace {

// The fuzzer's bytes, one decision at a time; once they run out, the line is
// quiet and the device accepts everything.
struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t Next() { return at < size ? data[at++] : 0xFF; }
};

const DataKind Kind = KindLibraries;
const int MaxSteps = 4000;

struct DeviceModel {
    std::vector<uint8_t> memory;  // the region, as the device holds it
    std::vector<bool> acked;      // a data frame of this block was stored and acknowledged
    bool awaitingFrame = false;
    unsigned frameBlock = 0;
    size_t writesSeen = 0;
    // Answers sent but not yet arrived: those to earlier writes, and the
    // answer to the latest write (which may still be on its way).
    std::vector<uint8_t> older;
    std::vector<uint8_t> latest;
    // One fault of the line itself per transfer: a byte added, lost, or
    // changed inside a frame that carries a checksum. Two together can fake
    // anything (noise in place of a lost NAK), and a 1-byte reply changed
    // from NAK to ACK is the same byte the device would have sent: no
    // protocol of single-byte replies tells them apart.
    bool lineFaulted = false;
};

DeviceModel Device;
std::string FilePath;
unsigned First;
unsigned Count;

uint8_t Balance(const uint8_t* b, size_t n) {
    unsigned s = 0;
    for (size_t i = 0; i < n; ++i) s += b[i];
    return uint8_t(0x100 - (s & 0xFF));
}

// The device answers each write of the PC as the rules say; the input may
// make it refuse a data frame.
void Answer(const std::vector<uint8_t>& w, Input& in) {
    std::vector<uint8_t> reply;
    if (Device.awaitingFrame) {
        Device.awaitingFrame = false;
        bool balanced = w.size() == 257 && Balance(w.data(), 256) == w[256];
        bool refuse = (in.Next() & 0x07) == 1;
        unsigned b = Device.frameBlock;
        if (balanced && !refuse && b >= First && b < First + Count) {
            std::memcpy(&Device.memory[(b - First) * 256], w.data(), 256);
            Device.acked[b - First] = true;
            reply.push_back(ByteAck);
        } else {
            reply.push_back(ByteNak);
        }
    } else if (w.size() == 1 && w[0] == ByteEsc) {
        reply = {0x03, 0x05, 0x01, 0x14, 0xE3, ByteAck};
    } else if (w.size() == 4 && Balance(w.data(), 3) == w[3] &&
               (w[0] == OpWriteBlock || w[0] == OpReadBlock)) {
        unsigned b = w[1] | (w[2] << 8);
        if (b < First || b >= First + Count) {
            reply.push_back(ByteNak);
        } else if (w[0] == OpWriteBlock) {
            reply.push_back(ByteAck);
            Device.awaitingFrame = true;
            Device.frameBlock = b;
        } else {
            reply.push_back(ByteAck);
            reply.insert(reply.end(), Device.memory.begin() + (b - First) * 256,
                         Device.memory.begin() + (b - First + 1) * 256);
            reply.push_back(Balance(reply.data() + 1, 256));
        }
    } else {
        reply.push_back(ByteNak);
    }
    Device.older.insert(Device.older.end(), Device.latest.begin(), Device.latest.end());
    Device.latest = reply;
}

void Arrive(std::vector<uint8_t>& from, size_t n) {
    n = std::min(n, from.size());
    FakeChannel.waiting.insert(FakeChannel.waiting.end(), from.begin(), from.begin() + n);
    from.erase(from.begin(), from.begin() + n);
}

// What the line does before one step of the machine.
void LineEvent(Input& in, int phase) {
    const std::vector<std::vector<uint8_t>>& writes = FakeChannel.writes;
    for (; Device.writesSeen < writes.size(); ++Device.writesSeen)
        Answer(writes[Device.writesSeen], in);
    uint8_t op = in.Next();
    // Answers to earlier writes are due by now.
    Arrive(Device.older, Device.older.size());
    bool listening = phase == PhaseBlockDone && TransferJob.blocksLeft == 1;
    bool fault = !Device.lineFaulted;
    switch (op % 16) {
    case 0: ScriptPending(op & 0x10 ? ReadRecord : WriteRecord, 1 + (op >> 5)); break;
    case 1: ScriptPollFailure(op & 0x10 ? ReadRecord : WriteRecord, 31); break;
    case 2: {  // noise, most often a byte that passes for a reply
        uint8_t n = in.Next();
        if (fault) FakeChannel.waiting.push_back(n < 0x80 ? ByteAck : n < 0xC0 ? ByteNak : n);
        Device.lineFaulted = true;
        break;
    }
    case 3:  // a byte lost
        if (fault && !Device.latest.empty())
            Device.latest.erase(Device.latest.begin() + in.Next() % Device.latest.size());
        Device.lineFaulted = true;
        break;
    case 4:  // a byte changed inside a frame
        if (fault && Device.latest.size() > 1)
            Device.latest[in.Next() % Device.latest.size()] ^= in.Next() | 1;
        Device.lineFaulted = true;
        break;
    case 5:  // the latest answer is late: only part of it is there
        if (!listening) {
            Arrive(Device.latest, in.Next() % (Device.latest.size() + 1));
            return;
        }
        break;
    case 6: StopTransfer(); return;
    default: break;
    }
    Arrive(Device.latest, Device.latest.size());
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f),
                                std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    if (FilePath.empty()) FilePath = "/tmp/selvo-fuzz-" + std::to_string(getpid()) + ".lib";
    DeviceRegion region = LookUpRegion(Kind);
    First = region.firstBlock;
    Count = region.blockCount;
    ResetFakeChannel();
    ResetScreen();
    ResetTransferJob();
    Device = DeviceModel();
    Device.memory.assign(size_t(Count) * 256, 0);
    Device.acked.assign(Count, false);
    uint8_t seed = in.Next();
    for (size_t i = 0; i < Device.memory.size(); ++i) Device.memory[i] = uint8_t((i * seed) >> 3);

    int action = in.Next() % 3;
    // A short file keeps a write or verify short; a read always covers the region.
    size_t length = size_t(in.Next()) * 4;
    std::vector<uint8_t> file(length);
    bool differ = (in.Next() & 3) == 0;
    for (size_t i = 0; i < length; ++i)
        file[i] = action == ActionVerify && !differ ? Device.memory[i] : uint8_t(i * 7 + seed);
    if (action != ActionReadFromDevice) {
        std::ofstream out(FilePath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(length));
    }
    for (int i = 0; i < 4; ++i) Screen.answers.push_back(in.Next() & 1 ? AnswerYes : AnswerNo);

    PrepareTransfer(action, Kind, FilePath);
    // With retries, a block whose exchange failed goes again: what the
    // machine claims must hold all the same.
    TransferJob.blockRetries = in.Next() % 4;
    FakeChannel.open = true;
    StartWrite(1);
    TransferJob.phase = PhaseEscapeSent;

    int steps = 0;
    bool stopped = false;
    while (TransferJob.phase != PhaseIdle && steps < MaxSteps) {
        int phase = TransferJob.phase;
        LineEvent(in, phase);
        if (TransferJob.phase == PhaseIdle) {
            stopped = true;
            break;
        }
        StepTransfer(unsigned(phase));
        ++steps;
    }
    // However it ended, the transfer names it: stopped, or failed as its box said.
    FailureKind reported = FailureNone;
    for (const ShownBox& box : Screen.boxes)
        if (box.kind != FailureNone && box.operation != FileBeyondRegion) reported = box.kind;
    if (stopped) Require(TransferJob.failure == FailureStopped, "a stop is the transfer's end");
    if (!stopped && reported != FailureNone)
        Require(TransferJob.failure == reported, "the failure reported is the transfer's end");
    if (!stopped && reported == FailureNone)
        Require(TransferJob.failure == FailureNone || TransferJob.failure == FailureStopped,
                "a transfer without a failure ended by itself or at a question");
    if (TransferJob.phase != PhaseIdle || stopped || !Screen.boxes.empty()) {
        TransferJob.inputFile.close();
        TransferJob.outputFile.close();
        return 0;
    }

    // Ended without a word: every block of the transfer is where it belongs.
    unsigned done = TransferJob.nextBlock - First;
    if (action == ActionWriteToDevice) {
        size_t expected = std::min<size_t>(length / 256 + 1, Count);
        Require(done == expected, "a write without a message covered its file");
        file.resize(size_t(done) * 256, 0);
        for (unsigned b = 0; b < done; ++b) {
            Require(Device.acked[b], "every block written was acknowledged");
            Require(std::memcmp(&Device.memory[b * 256], &file[b * 256], 256) == 0,
                    "every block written is in the device as the file has it");
        }
    } else if (action == ActionReadFromDevice) {
        Require(done == Count, "a read without a message covered the region");
        TransferJob.outputFile.close();
        std::vector<uint8_t> got = ReadFile(FilePath);
        Require(got == Device.memory, "the file read is the device's region");
    } else {
        // Compared up to the end of the region or of the file, with no difference.
        size_t compared =
            std::min<size_t>(size_t(done + (done < Count)) * 256, Device.memory.size());
        file.resize(compared, 0);
        Require(std::memcmp(file.data(), Device.memory.data(), compared) == 0,
                "a verify without a question found the file equal");
    }
    TransferJob.inputFile.close();
    TransferJob.outputFile.close();
    return 0;
}

// Random faults of the line on a share of the frames of block exchanges, and
// pauses in the answers: a bad moment of a real line, made repeatable by the
// seed so a failing run can be run again.
#include "sim.h"

#include <random>

namespace {

std::mt19937 Random;
long answers = 0;
int64_t pauseUntil = 0;

// The PC waits 120 ms for a one-byte answer: a late one comes after that.
const int64_t LateLowNs = 150LL * 1000000;
const int64_t LateSpanNs = 150LL * 1000000;

unsigned Draw(unsigned n) { return unsigned(Random() % n); }

}  // namespace

void SetupNoise() { Random.seed((unsigned)Faults.seed); }

void QueueAnswer(const uint8_t* bytes, int n, int64_t notBefore, const char* what, int block) {
    if (Faults.pauseEvery > 0 && ++answers % Faults.pauseEvery == 0) {
        pauseUntil = NowNs() + Faults.pauseMs * 1000000LL;
        Report("fault pause %ld", Faults.pauseMs);
    }
    if (notBefore < pauseUntil) notBefore = pauseUntil;
    bool strikes = Faults.noiseRate > 0 &&
                   std::uniform_real_distribution<double>(0, 1)(Random) < Faults.noiseRate;
    if (!strikes) {
        QueueReply(bytes, n, notBefore);
        return;
    }
    std::vector<uint8_t> frame(bytes, bytes + n);
    unsigned kind = Draw(n == 1 ? 3 : 2);
    unsigned at = Draw(unsigned(n));
    if (kind == 0) {
        // Never a NAK or an ACK: a changed reply that reads as the other
        // answer would be the controller's word, not noise.
        uint8_t changed = uint8_t(frame[at] ^ (1 + Draw(255)));
        if (n == 1 && (changed == ACK || changed == NAK)) changed ^= 0x80;
        frame[at] = changed;
        Report("fault noise-changed %s %d %u", what, block, at);
    } else if (kind == 1) {
        frame.erase(frame.begin() + at);
        Report("fault noise-lost %s %d %u", what, block, at);
    } else {
        int64_t late = LateLowNs + int64_t(Draw(unsigned(LateSpanNs / 1000000))) * 1000000;
        notBefore += late;
        Report("fault noise-late %s %d %lld", what, block, (long long)(late / 1000000));
    }
    QueueReply(frame.data(), int(frame.size()), notBefore);
}

// A port whose other end is not a working controller: a loopback plug or an
// echoing converter, a device that talks another protocol, a controller set
// to another speed. Each shows the PC a different line.
#include <cmath>
#include <random>

#include "sim.h"

namespace {

// The level of the line at time t (in the sender's bit times) while bytes
// go out 8N1: idle high before and after.
int LevelAt(double t, const std::vector<uint8_t>& sent) {
    long bit = long(std::floor(t + 1e-9));
    if (bit < 0 || size_t(bit / 10) >= sent.size()) return 1;
    int place = int(bit % 10);
    if (place == 0) return 0;
    if (place == 9) return 1;
    return (sent[size_t(bit / 10)] >> (place - 1)) & 1;
}

// The controller's identification as it would have answered.
std::vector<uint8_t> IdentReply() {
    std::vector<uint8_t> reply(Options.versions, Options.versions + 4);
    unsigned sum = 0;
    for (uint8_t v : reply) sum += v;
    reply.push_back(uint8_t(0 - sum));
    reply.push_back(ACK);
    return reply;
}

// A loopback plug on a noisy line: with --noise-rate, a share of the bytes
// comes back changed or not at all (never late: a plug has no turnaround).
void Echo(uint8_t b, int64_t due) {
    static std::mt19937 random((unsigned)Faults.seed);
    if (Faults.noiseRate > 0 &&
        std::uniform_real_distribution<double>(0, 1)(random) < Faults.noiseRate) {
        if (random() % 2 == 0) {
            Report("fault echo-lost");
            return;
        }
        b = uint8_t(b ^ (1 + random() % 255));
        Report("fault echo-changed");
    }
    QueueReply(&b, 1, due);
}

}  // namespace

// A UART hunts for a start bit, samples each data bit in its middle and then
// the stop bit; a stop bit found low is a framing fault, and the hunt for the
// next start bit begins at once (as a 16550 does).
std::vector<uint8_t> SampledAt38400(const std::vector<uint8_t>& sent, long baud,
                                    int* framingFaults) {
    const double ratio = double(baud) / 38400.0;  // sender bits per receiver bit
    const double end = double(sent.size()) * 10;
    std::vector<uint8_t> received;
    *framingFaults = 0;
    double t = 0;
    while (t < end) {
        double start = t;
        if (LevelAt(t, sent) != 0) {
            double edge = std::ceil(t - 1e-9);
            while (edge < end && LevelAt(edge, sent) != 0) edge += 1;
            if (edge >= end) break;
            start = edge;
        }
        uint8_t b = 0;
        for (int i = 0; i < 8; ++i) b |= uint8_t(LevelAt(start + (1.5 + i) * ratio, sent) << i);
        if (LevelAt(start + 9.5 * ratio, sent) == 0) ++*framingFaults;
        received.push_back(b);
        t = start + 9.5 * ratio;
    }
    return received;
}

bool TakeByteAsOtherLine(uint8_t b, int64_t due) {
    switch (Faults.otherLine) {
    case LineEcho: Echo(b, due); return true;
    case LineGarbage: {
        // What a device of another kind might say to a stray byte.
        static const uint8_t Answer[] = {'E', 'R', 'R', '?', '\r', '\n'};
        if (b == ESC) Report("fault garbage");
        QueueReply(Answer, sizeof Answer, due);
        return true;
    }
    case LineWrongSpeed: {
        // It hears something at 38400 and answers at its own speed.
        if (b != ESC) return true;
        int framing = 0;
        std::vector<uint8_t> heard = SampledAt38400(IdentReply(), Faults.otherBaud, &framing);
        Report("fault wrong-speed %ld %zu %d", Faults.otherBaud, heard.size(), framing);
        QueueReply(heard.data(), int(heard.size()), due);
        return true;
    }
    default: return false;
    }
}

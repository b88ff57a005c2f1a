#include "cli/transfers/line_test.h"

#include <algorithm>
#include <cmath>

#include "cli/console/messages.h"

namespace {

// How far ahead a lost or an extra byte is looked for, and how many bytes in
// a row must agree to count as found again.
const size_t LookAhead = 32;
const size_t AgreeRun = 4;

bool Agree(const std::string& sent, size_t s, const std::string& received, size_t r) {
    size_t n = std::min({AgreeRun, sent.size() - s, received.size() - r});
    if (n == 0) return false;
    return sent.compare(s, n, received, r, n) == 0;
}

}  // namespace

EchoCount CompareEcho(const std::string& sent, const std::string& received) {
    EchoCount count;
    count.sent = sent.size();
    count.received = received.size();
    size_t s = 0, r = 0;
    while (r < received.size()) {
        if (s < sent.size() && sent[s] == received[r]) {
            ++s;
            ++r;
            continue;
        }
        size_t lost = 0, extra = 0;
        for (size_t k = 1; k <= LookAhead && lost == 0; ++k)
            if (s + k < sent.size() && Agree(sent, s + k, received, r)) lost = k;
        for (size_t k = 1; k <= LookAhead && extra == 0; ++k)
            if (r + k < received.size() && Agree(sent, s, received, r + k)) extra = k;
        if (s >= sent.size()) {
            count.extra += received.size() - r;
            break;
        }
        if (lost != 0 && (extra == 0 || lost <= extra)) {
            count.lost += lost;
            s += lost;
        } else if (extra != 0) {
            count.extra += extra;
            r += extra;
        } else {
            ++count.changed;
            ++s;
            ++r;
        }
    }
    count.lost += sent.size() - s;
    return count;
}

ReplyTimes SummarizeReplyTimes(std::vector<double> milliseconds) {
    ReplyTimes times;
    times.count = milliseconds.size();
    if (milliseconds.empty()) return times;
    std::sort(milliseconds.begin(), milliseconds.end());
    size_t n = milliseconds.size();
    times.medianMs =
        n % 2 == 1 ? milliseconds[n / 2] : (milliseconds[n / 2 - 1] + milliseconds[n / 2]) / 2;
    // The nearest rank: the smallest time that 99 % of the replies do not exceed.
    size_t rank = size_t(std::ceil(0.99 * double(n)));
    times.p99Ms = milliseconds[rank == 0 ? 0 : rank - 1];
    return times;
}

const char* VerdictText(LineVerdict verdict) {
    switch (verdict) {
    case LineSound: return Say(MsgVerdictSound);
    case LineCableOrAdapter: return Say(MsgVerdictCable);
    case LineController: return Say(MsgVerdictController);
    }
    return "";
}

LineVerdict JudgeControllerLine(const ControllerLineCount& count) {
    bool garbled = count.badChecksums + count.naks + count.otherAnswers + count.shortAnswers +
                       count.driverFaults >
                   0;
    if (garbled) return LineCableOrAdapter;
    if (count.blocksDiffering > 0 || !count.bothReadsEnded || count.silences + count.retries > 0)
        return LineController;
    return LineSound;
}

#include "cli/console/progress.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/console/console_output.h"
#include "cli/console/json_events.h"
#include "cli/console/language.h"
#include "cli/console/messages.h"
#include "cli/console/transfer_texts.h"
#include "protocol/regions.h"
#include "transfer/transfer.h"

namespace {

using Clock = std::chrono::steady_clock;

// A bar redrawn more often than this only flickers.
const double BarInterval = 0.1;

struct ProgressRecord {
    ProgressStyle style;
    unsigned long total;
    unsigned long doneBefore;  // blocks of the regions already over
    unsigned long lastDone;    // at the last line or bar
    Clock::time_point started;
    Clock::time_point drawn;
    size_t barLength;       // characters of the bar on screen, 0: none
    unsigned long skipped;  // blocks of the running region an earlier read had moved
};
ProgressRecord Progress = {ProgressNone, 0, 0, 0, {}, {}, 0, 0};

double SecondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

unsigned long RegionDone() {
    unsigned long moved =
        static_cast<unsigned long>(TransferJob.nextBlock - TransferJob.firstBlock);
    return moved > Progress.skipped ? moved - Progress.skipped : 0;
}

// Polish writes a decimal comma, English a point.
std::string Decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string s = text;
    size_t dot = s.find('.');
    if (dot != std::string::npos && ProgramLanguage() == LanguagePolish) s[dot] = ',';
    return s;
}

std::string Duration(double seconds) {
    unsigned long s = static_cast<unsigned long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lu:%02lu:%02lu", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lu:%02lu", s / 60, s % 60);
    return text;
}

void ClearBar() {
    if (Progress.barLength == 0) return;
    std::string blank = "\r" + std::string(Progress.barLength, ' ') + "\r";
    PrintText(ConsoleError, blank.c_str());
    Progress.barLength = 0;
}

void DrawBar(const char* line) {
    // One character a byte in Windows-1250: cut to the terminal, so it never wraps.
    size_t width = size_t(ConsoleWidth(ConsoleError));
    std::string text(line, std::min(std::strlen(line), width > 1 ? width - 1 : 1));
    std::string shown = "\r" + text;
    if (text.size() < Progress.barLength)
        shown += std::string(Progress.barLength - text.size(), ' ');
    PrintText(ConsoleError, shown.c_str());
    Progress.barLength = text.size();
}

}  // namespace

const char* BlocksWord(unsigned long n) {
    return SayCount(n, MsgBlockOne, MsgBlockFew, MsgBlockMany);
}

void ComposeProgressLine(char* line, size_t size, const char* actionLine, const char* blockLine,
                         unsigned long done, unsigned long total, double seconds) {
    unsigned long percent = total > 0 ? (done >= total ? 100 : done * 100 / total) : 0;
    std::string rate = "--";
    std::string left = "--:--";
    if (done > 0 && seconds > 0) {
        rate = Decimal(done * double(BlockSize) / seconds / 1000.0);
        left = Duration(done >= total ? 0 : (total - done) * seconds / done);
    }
    std::snprintf(
        line, size, "%s",
        SayFormatted(MsgProgressLine, actionLine, blockLine, percent, rate.c_str(), left.c_str())
            .c_str());
}

std::string BlockCount(unsigned long n) { return std::to_string(n) + " " + BlocksWord(n); }

void ComposeDoneLine(char* line, size_t size, const char* what, unsigned long blocks,
                     double seconds) {
    ComposeDoneLine(line, size, what, BlockCount(blocks).c_str(), seconds);
}

void ComposeDoneLine(char* line, size_t size, const char* what, const char* done, double seconds) {
    std::snprintf(line, size, "%s",
                  SayFormatted(MsgDoneLine, what, done, Decimal(seconds).c_str()).c_str());
}

bool ReachesNewTenth(unsigned long before, unsigned long now, unsigned long total) {
    if (total == 0 || now >= total) return false;
    return now * 10 / total > before * 10 / total;
}

ProgressStyle ProgressStyleFor(bool quiet) {
    if (quiet) return ProgressNone;
    return IsConsoleTerminal(ConsoleError) ? ProgressBar : ProgressLines;
}

void BeginProgress(ProgressStyle style, unsigned long totalBlocks, unsigned long skipped) {
    Progress =
        ProgressRecord{style, totalBlocks, 0, 0, Clock::now(), Clock::time_point(), 0, skipped};
}

void ShowProgress() {
    EventProgress();
    // A transfer that is over leaves its summary to EndProgress.
    if (Progress.style == ProgressNone || TransferJob.phase == PhaseIdle) return;
    unsigned long done = Progress.doneBefore + RegionDone();
    if (Progress.style == ProgressBar && Progress.barLength > 0 &&
        SecondsSince(Progress.drawn) < BarInterval)
        return;
    if (Progress.style == ProgressLines &&
        !ReachesNewTenth(Progress.lastDone, done, Progress.total))
        return;
    char line[160];
    ComposeProgressLine(line, sizeof line, ActionText().c_str(), BlockText().c_str(), done,
                        Progress.total, SecondsSince(Progress.started));
    if (Progress.style == ProgressBar) {
        DrawBar(line);
        Progress.drawn = Clock::now();
    } else {
        PrintLine(ConsoleError, "%s", line);
    }
    Progress.lastDone = done;
}

void CompleteRegion() {
    Progress.doneBefore += RegionDone();
    Progress.skipped = 0;
}

void CompleteAllBlocks() { Progress.doneBefore = Progress.total; }

void BreakProgressLine() { ClearBar(); }

void EndProgress(const char* what, const std::string& done) {
    ClearBar();
    if (Progress.style == ProgressNone || what == nullptr) {
        Progress.style = ProgressNone;
        return;
    }
    char line[200];
    std::string moved = done.empty() ? BlockCount(Progress.doneBefore) : done;
    ComposeDoneLine(line, sizeof line, what, moved.c_str(), SecondsSince(Progress.started));
    PrintLine(ConsoleOut, "%s", line);
    Progress.style = ProgressNone;
}

#include "cli/transfers/trace_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "cli/console/console_text.h"
#include "cli/console/messages.h"
#include "cli/system/files.h"
#include "cli/system/held_file.h"
#include "cli/system/shell_words.h"
#include "cli/system/system_info.h"
#include "cli/system/system_ports.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/line_diagnosis.h"
#include "cli/transfers/line_trace.h"
#include "cli/transfers/port_listing.h"
#include "serial/port_open.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"

namespace {

const char TracePrefix[] = "dm730-trace-";
const char TraceSuffix[] = ".txt";

std::string SettingsText() {
    LineSettingsRead settings;
    if (!IsChannelOpen() || !ReadLineSettings(&settings)) return Say(MsgTracePortClosed);
    return SayFormatted(
        MsgTraceSettings, settings.baud, settings.dataBits, settings.parity, settings.stopBits,
        settings.hardwareFlow ? "RTS/CTS " : "",
        settings.softwareFlow ? "XON/XOFF" : (settings.hardwareFlow ? "" : Say(MsgTraceNoFlow)));
}

// "20261208T074512.345Z": sorts as the time does, and two failures in one
// second get two names.
std::string TraceTime() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    long ms =
        long(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
             1000);
    char text[40] = "";
    const std::tm* utc = std::gmtime(&seconds);
    if (utc != nullptr) std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", utc);
    char full[48];
    snprintf(full, sizeof full, "%s.%03ldZ", text, ms);
    return full;
}

// The oldest beyond the newest KeptTraceFiles go; nothing else in the folder
// is touched.
void RemoveOldTraces(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        if (name.compare(0, sizeof TracePrefix - 1, TracePrefix) == 0 &&
            name.size() > sizeof TraceSuffix &&
            name.compare(name.size() - (sizeof TraceSuffix - 1), std::string::npos, TraceSuffix) ==
                0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (size_t i = 0; i + KeptTraceFiles < names.size(); ++i)
        RemoveFileOrLink(PathInFolder(folder, names[i].c_str()).c_str());
}

}  // namespace

std::string RunHeaderText(int argc, const char* const* argv) {
    std::string text = std::string("dm730 ") + SELVO_VERSION + "\n" +
                       SayFormatted(MsgTraceSystem, SystemDescription().c_str()) + "\n" +
                       Say(MsgTraceCommandLine);
    for (int i = 0; i < argc; ++i) text += " " + ShellWord(argv[i]);
    return text + "\n" + SayFormatted(MsgTraceTime, TraceTime().c_str()) + "\n";
}

std::string LineHeaderText() {
    std::string text;
    std::string firmware, second;
    FoundControllerVersions(&firmware, &second);
    int listed = 0;
    while (IsListedPort(listed)) ++listed;
    // The port the run used; after a search that found nothing, none was.
    if (IsListedPort(currentPort) && (IsChannelOpen() || listed == 1)) {
        std::vector<PortIdentity> port = {IdentityOfPort(ListedPortName(currentPort))};
        text += SayFormatted(MsgPortIs, PortLine(port, 0, false).c_str()) + "\n";
    } else {
        text += SayFormatted(MsgTraceLookedFor, (unsigned long)listed) + "\n";
    }
    text += SayFormatted(MsgTraceLineSettings, SettingsText().c_str()) + "\n";
    if (!firmware.empty() || !second.empty())
        text += SayFormatted(MsgTraceVersions, firmware.c_str(), second.c_str()) + "\n";
    // A search that found nothing: what each port gave instead.
    for (int i = 0; firmware.empty() && IsListedPort(i); ++i) {
        PortAttempt attempt = DetectionAttempt(i);
        if (attempt.outcome == PortOpened && attempt.replyCount + attempt.faultsCounted > 0)
            text += SayFormatted(MsgTraceProbe, DiagnosisText(ListedPortName(i), attempt).c_str()) +
                    "\n";
    }
    return text;
}

std::string WriteTraceFile(const std::string& header, std::string* problem) {
    std::string folder = UserStateFolder();
    if (folder.empty()) {
        *problem = Say(MsgTraceNoStateFolder);
        return "";
    }
    std::string path = PathInFolder(folder, (TracePrefix + TraceTime() + TraceSuffix).c_str());
    // UTF-8, as whoever receives it reads it.
    std::string text = Utf8FromMixedText((header + "\n" + KeptExchangesText()).c_str());
    if (text.size() > TraceFileLimit) text.resize(TraceFileLimit);
    HeldFile file;
    if (CreateHeldFile(path, &file) != FileOperationDone ||
        WriteHeldFile(file, text) != FileOperationDone) {
        *problem = path + " : " + SystemErrorText(LastFileError());
        CloseHeldFile(&file);
        return "";
    }
    CloseHeldFile(&file);
    RemoveOldTraces(folder);
    return path;
}

#include "cli/transfers/controller_search.h"

#include <cstring>
#include <set>
#include <vector>

#include "cli/console/console_output.h"
#include "cli/console/console_text.h"
#include "cli/console/exit_codes.h"
#include "cli/console/json_events.h"
#include "cli/system/files.h"
#include "cli/system/interrupt.h"
#include "cli/system/system_ports.h"
#include "cli/transfers/line_diagnosis.h"
#include "cli/transfers/port_listing.h"
#include "cli/transfers/port_selector.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "serial/port_names.h"
#include "serial/port_open.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"

namespace {

// The versions of the controller found, as its identification reply gave them.
std::string foundFirmware;
std::string foundSecond;

// A version field need not hold its terminator.
std::string VersionText(const char* field, size_t size) {
    return Utf8FromCp1250(std::string(field, strnlen(field, size)).c_str());
}

// The detection leaves the reply that answered it in the frame area; once it
// passes the check a transfer applies, its version texts go where the window
// shows them from, and are kept for the command.
void TakeFoundVersions() {
    if (CheckIdentReply(IdentReplySize).outcome == ReplyValid) TakeVersionTexts();
    foundFirmware = VersionText(IoBuffer.firmwareVersionText, sizeof IoBuffer.firmwareVersionText);
    foundSecond = VersionText(IoBuffer.secondVersionText, sizeof IoBuffer.secondVersionText);
}

// One line on why a port was left out of the search.
std::string UnusableReason(const PortAttempt& attempt) {
    switch (attempt.outcome) {
    case PortMissing: return "nie istnieje";
    case PortNoPermission: return "brak uprawnień";
    case PortInUse: return "zajęty przez inny program";
    case PortNotSerial: return "to nie jest port szeregowy";
    default:
        return "błąd systemu " + std::to_string(attempt.systemError) + " (" +
               SystemErrorText(attempt.systemError) + ")";
    }
}

// Why port name cannot be used (with the hint about the group on Linux when
// access is refused).
void ShowPortUnusable(const char* name, const PortAttempt& attempt) {
    PrintLine(ConsoleError, "Nie mogę użyć portu %s : %s !", name, UnusableReason(attempt).c_str());
    const char* hint = PortPermissionHint();
    if (attempt.outcome == PortNoPermission && hint != nullptr) PrintLine(ConsoleError, "%s", hint);
}

// Each port the search went over: what its line did, or why it was left
// out; then what to do, each hint once however many ports need it.
void ShowWhatEachPortDid() {
    std::set<std::string> hints;
    std::vector<std::string> order;
    auto hint = [&](const char* text) {
        if (text != nullptr && hints.insert(text).second) order.push_back(text);
    };
    for (int i = 0; IsListedPort(i); ++i) {
        PortAttempt attempt = DetectionAttempt(i);
        if (attempt.outcome == PortOpened) {
            PrintLine(ConsoleError, "%s", DiagnosisText(ListedPortName(i), attempt).c_str());
            hint(DiagnosisHint(DiagnoseProbe(attempt)));
            continue;
        }
        PrintLine(ConsoleError, "Port %s pominięty : %s", ListedPortName(i),
                  UnusableReason(attempt).c_str());
        if (attempt.outcome == PortNoPermission) hint(PortPermissionHint());
    }
    for (const std::string& text : order) PrintLine(ConsoleError, "%s", text.c_str());
}

// A selector stands for the one port it fits: ExitDone with *name set.
// Fitting none, what is there is listed (ExitPortUnusable); fitting several,
// a selector for each (ExitUsage: the command line is ambiguous).
ExitCode ResolveSelector(const std::string& selector, std::string* name) {
    std::vector<PortIdentity> ports = ListSystemPorts(HoldAsked);
    std::vector<size_t> fitting = PortsFitting(selector, ports);
    if (fitting.size() == 1) {
        *name = ports[fitting[0]].name;
        return ExitDone;
    }
    if (fitting.empty()) {
        PrintLine(ConsoleError, "Żaden port nie pasuje do %s. Porty :", selector.c_str());
        for (size_t i = 0; i < ports.size(); ++i)
            PrintLine(ConsoleError, "  %s", PortLine(ports, i).c_str());
        if (ports.empty()) PrintLine(ConsoleError, "  (brak)");
        return ExitPortUnusable;
    }
    PrintLine(ConsoleError, "%s pasuje do %lu portów ; wybierz jeden :", selector.c_str(),
              (unsigned long)fitting.size());
    for (size_t i : fitting)
        PrintLine(ConsoleError, "  --port %s  (%s)", UniqueSelector(ports, i).c_str(),
                  ports[i].name.c_str());
    return ExitUsage;
}

// The ports to search, the selector resolved, and the search itself.
ExitCode Search(const std::string& given, DetectOutcome* found) {
    std::string port = given;
    if (IsAdapterSelector(given)) {
        ExitCode resolved = ResolveSelector(given, &port);
        if (resolved != ExitDone) return resolved;
    }
    if (ListCommandPorts(port) != PortsListed) {
        PrintLine(ConsoleError, "Nieznany port : %s (np. %s)", port.c_str(), PortNameExample);
        return ExitUsage;
    }
    CreateChannelEvents();
    StopDetectionWhen(WasInterrupted);
    *found = DetectDevice();
    if (WasInterrupted()) {
        CloseChannel();
        return ExitInterrupted;
    }
    return ExitDone;
}

}  // namespace

ExitCode FindController(const std::string& given, bool quiet) {
    DetectOutcome found = NoDeviceFound;
    ExitCode searched = Search(given, &found);
    if (searched != ExitDone) return searched;
    if (found != DeviceFound) {
        if (!given.empty() && DetectionAttempt(0).outcome != PortOpened) {
            ShowPortUnusable(ListedPortName(0), DetectionAttempt(0));
            return ExitPortUnusable;
        }
        ShowDeviceNotFound();
        ShowWhatEachPortDid();
        return ExitNoController;
    }
    TakeFoundVersions();
    EventControllerFound(FoundPortName(), foundFirmware, foundSecond);
    // A message: detect prints the port as its result itself.
    if (!quiet) PrintLine(ConsoleError, "Port : %s", FoundPortName());
    return ExitDone;
}

const char* FoundPortName() { return ListedPortName(currentPort); }

void FoundControllerVersions(std::string* firmware, std::string* second) {
    *firmware = foundFirmware;
    *second = foundSecond;
}

ExitCode ReopenFoundPort() {
    CloseChannel();
    PortOpenOutcome opened = OpenPort(OpenQuietly);
    if (opened == PortOpened) return ExitDone;
    ShowPortUnusable(FoundPortName(), PortAttempt{opened, PortOpenSystemError()});
    PrintLine(ConsoleError, "Dm730 był na porcie %s ; polecenie nie przechodzi na inny port.",
              FoundPortName());
    return ExitPortUnusable;
}

ExitCode FindLoopback(const std::string& given) {
    DetectOutcome found = NoDeviceFound;
    ExitCode searched = Search(given, &found);
    if (searched != ExitDone) return searched;
    if (found == DeviceFound) {
        PrintLine(ConsoleError,
                  "Na porcie %s odpowiada Dm730, nie wtyczka pętli zwrotnej ; bez --loopback test "
                  "sprawdzi linię razem z Dm730.",
                  FoundPortName());
        return ExitUsage;
    }
    if (!given.empty() && DetectionAttempt(0).outcome != PortOpened) {
        ShowPortUnusable(ListedPortName(0), DetectionAttempt(0));
        return ExitPortUnusable;
    }
    std::vector<int> echoing;
    for (int i = 0; IsListedPort(i); ++i)
        if (DetectionAttempt(i).outcome == PortOpened &&
            DiagnoseProbe(DetectionAttempt(i)) == LineEchoes)
            echoing.push_back(i);
    // A port given is tested whatever its probe heard: a plug that loses
    // bytes is what the test is for.
    if (!given.empty()) echoing = {0};
    if (echoing.empty()) {
        PrintLine(ConsoleError,
                  "Żaden port nie oddaje wysłanych bajtów : nie widzę wtyczki pętli "
                  "zwrotnej.");
        ShowWhatEachPortDid();
        return ExitNoController;
    }
    if (echoing.size() > 1) {
        PrintLine(ConsoleError, "Wysłane bajty wracają na %lu portach ; wybierz jeden :",
                  (unsigned long)echoing.size());
        for (int i : echoing) PrintLine(ConsoleError, "  --port %s", ListedPortName(i));
        return ExitUsage;
    }
    currentPort = echoing[0];
    PortOpenOutcome opened = OpenPort(OpenQuietly);
    if (opened != PortOpened) {
        ShowPortUnusable(ListedPortName(currentPort), PortAttempt{opened, PortOpenSystemError()});
        return ExitPortUnusable;
    }
    return ExitDone;
}

std::vector<std::string> PortsWithController() {
    std::vector<std::string> found;
    CreateChannelEvents();
    StopDetectionWhen(WasInterrupted);
    for (const PortIdentity& port : ListSystemPorts(HoldNotAsked)) {
        if (WasInterrupted()) break;
        UseNamedPorts({port.name});
        if (DetectDevice() == DeviceFound) found.push_back(port.name);
        CloseChannel();
    }
    return found;
}

ExitCode NameOfGivenPort(const std::string& given, std::string* name) {
    if (IsAdapterSelector(given)) return ResolveSelector(given, name);
    *name = KeptPortName(given);
    if (name->empty()) {
        PrintLine(ConsoleError, "Nieznany port : %s (np. %s)", given.c_str(), PortNameExample);
        return ExitUsage;
    }
    return ExitDone;
}

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

// What a user refused a port does about it, or null where no group grants ports.
const char* PortPermissionHint() { return PortsGrantedByGroup() ? Say(MsgDialoutHint) : nullptr; }

// One line on why a port was left out of the search.
std::string UnusableReason(const PortAttempt& attempt) {
    switch (attempt.outcome) {
    case PortMissing: return Say(MsgPortMissing);
    case PortNoPermission: return Say(MsgPortNoPermission);
    case PortInUse: return Say(MsgPortInUse);
    case PortNotSerial: return Say(MsgPortNotSerial);
    default:
        return SayFormatted(MsgPortSystemError, attempt.systemError,
                            SystemErrorText(attempt.systemError).c_str());
    }
}

// Why port name cannot be used (with the hint about the group on Linux when
// access is refused).
void ShowPortUnusable(const char* name, const PortAttempt& attempt) {
    PrintMessage(ConsoleError, MsgCannotUsePort, name, UnusableReason(attempt).c_str());
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
        PrintMessage(ConsoleError, MsgPortSkipped, ListedPortName(i),
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
        PrintMessage(ConsoleError, MsgNoPortFits, selector.c_str());
        for (size_t i = 0; i < ports.size(); ++i)
            PrintMessage(ConsoleError, MsgIndented, PortLine(ports, i).c_str());
        if (ports.empty()) PrintMessage(ConsoleError, MsgNoPorts);
        return ExitPortUnusable;
    }
    PrintMessage(ConsoleError, MsgSeveralPortsFit, selector.c_str(), (unsigned long)fitting.size());
    for (size_t i : fitting)
        PrintMessage(ConsoleError, MsgChoosePort, UniqueSelector(ports, i).c_str(),
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
        PrintMessage(ConsoleError, MsgUnknownPort, port.c_str(), PortNameExample);
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
    if (!quiet) PrintMessage(ConsoleError, MsgPortIs, FoundPortName());
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
    PrintMessage(ConsoleError, MsgControllerWasOn, FoundPortName());
    return ExitPortUnusable;
}

ExitCode FindLoopback(const std::string& given) {
    DetectOutcome found = NoDeviceFound;
    ExitCode searched = Search(given, &found);
    if (searched != ExitDone) return searched;
    if (found == DeviceFound) {
        PrintMessage(ConsoleError, MsgControllerNotPlug, FoundPortName());
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
        PrintMessage(ConsoleError, MsgNoPlug);
        ShowWhatEachPortDid();
        return ExitNoController;
    }
    if (echoing.size() > 1) {
        PrintMessage(ConsoleError, MsgSeveralPlugs, (unsigned long)echoing.size());
        for (int i : echoing) PrintMessage(ConsoleError, MsgPortOption, ListedPortName(i));
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
        PrintMessage(ConsoleError, MsgUnknownPort, given.c_str(), PortNameExample);
        return ExitUsage;
    }
    return ExitDone;
}

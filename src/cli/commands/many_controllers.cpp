// One command on several controllers: dm730 starts itself once per port, so
// a hung driver or a failure stays with its port, and the controllers go at
// the line's pace side by side. The children speak --json; the parent shows
// their progress tagged with the port, and ends with one table.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/console_text.h"
#include "cli/console/exit_codes.h"
#include "cli/console/json_events.h"
#include "cli/console/progress.h"
#include "cli/console/progress_board.h"
#include "cli/system/child_process.h"
#include "cli/system/files.h"
#include "cli/system/interrupt.h"
#include "cli/system/system_ports.h"
#include "cli/transfers/controller_search.h"
#include "serial/serial_channel.h"

namespace {

typedef std::chrono::steady_clock Clock;

// Which exit code the whole command ends with: the first of these any child
// ended with. A stop comes first, then a controller left half written, one
// that holds something else, the ports, the files, the usage.
const int WorstFirst[] = {ExitInterrupted,  ExitLineFailed, ExitDifferences, ExitPortUnusable,
                          ExitNoController, ExitFileFailed, ExitUsage,       ExitDone};

struct PortRun {
    std::string port;       // as we keep it
    std::string shortName;  // ttyUSB0, COM3: the backup's subfolder, the tag
    std::string serialNumber;
    std::string firmware, second;
    std::string kind, action;
    long block = 0, blocks = 0;
    long lastTenth = -1;
    int exitCode = -1;
    int child = -1;    // its process's number, -1 when it could not start
    size_t index = 0;  // its line among the others
    double seconds = 0;
    Clock::time_point started;
};

// Options with a value, whose value is never the command's operand.
bool TakesValue(const std::string& word) {
    for (const char* o : {"--port", "--retries", "--max-differences", "--from-block", "--trace",
                          "--seconds", "--lang"})
        if (word == o) return true;
    return false;
}

// The child's command line: the parent's, without the ports and --all, for
// one port, in events; a backup into the port's own subfolder.
std::vector<std::string> ChildArguments(int argc, const char* const* argv, const CommandLine& line,
                                        const PortRun& run) {
    std::vector<std::string> args;
    bool pathReplaced = false;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--port" && i + 1 < argc) {
            ++i;
            continue;
        }
        if (word.compare(0, 7, "--port=") == 0 || word == "--all" || word == "--json") continue;
        if (TakesValue(word) && i + 1 < argc) {
            args.push_back(word);
            args.push_back(argv[++i]);
            continue;
        }
        if (line.command == CommandBackup && !pathReplaced && word == line.path) {
            word = PathInFolder(line.path, run.shortName.c_str());
            pathReplaced = true;
        }
        args.push_back(word);
    }
    // Its progress and summary come to the parent as events; its messages stay.
    args.insert(args.end(), {"--port", run.port, "--json", "--quiet"});
    return args;
}

const char* ActionWord(const std::string& action) {
    if (action == "write") return Say(MsgManyWrite);
    if (action == "read") return Say(MsgManyRead);
    return Say(MsgManyVerify);
}

// How the parent shows its controllers' progress: one line per port redrawn
// in place on a terminal, a tagged line at each tenth into a file or a pipe,
// none at all with --quiet or --json.
enum ManyProgress { ManyProgressNone = 0, ManyProgressLines, ManyProgressBoard };

std::string ProgressText(const PortRun& run) {
    return SayFormatted(MsgManyProgress, run.shortName.c_str(), ActionWord(run.action),
                        run.kind.c_str(), run.block, run.blocks,
                        run.blocks > 0 ? run.block * 100 / run.blocks : 0L);
}

void ShowPortProgress(PortRun& run, ManyProgress style) {
    if (run.blocks <= 0 || style == ManyProgressNone) return;
    if (style == ManyProgressBoard) {
        SetBoardLine(run.index, ProgressText(run));
        return;
    }
    long tenth = run.block * 10 / run.blocks;
    if (tenth == run.lastTenth) return;
    run.lastTenth = tenth;
    PrintLine(ConsoleError, "%s", ProgressText(run).c_str());
}

// An event of a child: what the table and the progress need, and for a
// program reading the parent's events, the event with its port.
void TakeEvent(PortRun& run, const std::string& text, bool forward, ManyProgress style) {
    nlohmann::json event = nlohmann::json::parse(text, nullptr, false);
    if (event.is_discarded() || !event.is_object() || !event.contains("event")) return;
    std::string kind = event["event"].get<std::string>();
    if (kind == "controller") {
        run.firmware = event.value("firmwareVersion", "");
        run.second = event.value("secondVersion", "");
    } else if (kind == "progress") {
        run.kind = event.value("kind", "");
        run.action = event.value("action", "");
        run.block = event.value("block", 0L);
        run.blocks = event.value("blocks", 0L);
        ShowPortProgress(run, style);
    } else if (kind == "regionEnd") {
        // Where it stopped, exactly: progress events come at most twice a second.
        run.block = event.value("blocks", run.block);
    }
    if (!forward) return;
    nlohmann::ordered_json tagged = nlohmann::ordered_json::parse(text);
    tagged["port"] = Utf8FromMixedText(run.port.c_str());
    PrintEventLine(tagged.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace));
}

std::string ResultText(const PortRun& run) {
    std::string text = Say(ResultMeaning(run.exitCode));
    if (run.exitCode == ExitInterrupted && run.blocks > 0)
        text += SayFormatted(MsgManyStoppedAt, run.block + 1, run.blocks);
    return text;
}

void NoteEndedChildren(std::vector<PortRun>* runs, ManyProgress style) {
    for (PortRun& run : *runs) {
        if (run.exitCode >= 0 || ChildExitCode(run.child) < 0) continue;
        run.exitCode = ChildExitCode(run.child);
        run.seconds = std::chrono::duration<double>(Clock::now() - run.started).count();
        if (style != ManyProgressBoard) continue;
        SetBoardLine(run.index,
                     SayFormatted(MsgTagged, run.shortName.c_str(), ResultText(run).c_str()));
        DrawBoard();
    }
}

int Worst(const std::vector<PortRun>& runs) {
    for (int code : WorstFirst)
        for (const PortRun& run : runs)
            if (run.exitCode == code) return code;
    return runs.empty() ? ExitNoController : ExitLineFailed;
}

void ShowTable(const std::vector<PortRun>& runs) {
    // Wide enough for the longest port's name.
    size_t width = 4;
    for (const PortRun& run : runs) width = std::max(width, run.port.size());
    PrintMessage(ConsoleOut, MsgTableHead, int(width), "Port", Say(MsgTableSerial),
                 Say(MsgTableVersions), Say(MsgTableCode), Say(MsgTableTime), Say(MsgTableResult));
    for (const PortRun& run : runs) {
        std::string versions = run.firmware.empty() ? "-" : run.firmware + " | " + run.second;
        char seconds[32];
        snprintf(seconds, sizeof seconds, "%.1f s", run.seconds);
        PrintLine(ConsoleOut, "%-*s  %-12s  %-13s  %-4d  %-8s  %s", int(width), run.port.c_str(),
                  run.serialNumber.empty() ? "-" : ShownText(run.serialNumber).c_str(),
                  ShownText(versions).c_str(), run.exitCode, seconds, ResultText(run).c_str());
    }
}

}  // namespace

ExitCode RunOnManyControllers(const CommandLine& line, int argc, const char* const* argv) {
    std::vector<std::string> names;
    if (line.all) {
        names = PortsWithController();
        CloseChannel();
        if (WasInterrupted()) return ExitInterrupted;
        if (names.empty()) {
            PrintMessage(ConsoleError, MsgNoControllerAnywhere);
            return ExitNoController;
        }
    } else {
        for (const std::string& given : line.ports) {
            std::string name;
            ExitCode resolved = NameOfGivenPort(given, &name);
            if (resolved != ExitDone) return resolved;
            // One controller, one process: a port named twice is run once.
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        }
    }
    std::vector<PortRun> runs;
    std::string program = OwnProgramPath();
    // The system's list once, for every adapter's serial number.
    std::vector<PortIdentity> system = ListSystemPorts(HoldNotAsked);
    for (const std::string& name : names) {
        PortRun run;
        run.port = name;
        run.shortName = NameInPath(name);
        for (const PortIdentity& identity : system)
            if (identity.name == name) run.serialNumber = identity.serialNumber;
        run.started = Clock::now();
        run.index = runs.size();
        runs.push_back(run);
        runs.back().child = StartChild(program, ChildArguments(argc, argv, line, runs.back()));
        if (runs.back().child < 0) {
            PrintMessage(ConsoleError, MsgChildNotStarted, runs.back().shortName.c_str(),
                         program.c_str());
            runs.back().exitCode = ExitPortUnusable;
        }
    }
    if (!line.quiet) PrintMessage(ConsoleError, MsgControllersCount, (unsigned long)runs.size());
    ManyProgress style = line.quiet || line.json           ? ManyProgressNone
                         : IsConsoleTerminal(ConsoleError) ? ManyProgressBoard
                                                           : ManyProgressLines;
    if (style == ManyProgressBoard) {
        BeginBoard(runs.size());
        for (const PortRun& run : runs)
            SetBoardLine(run.index, SayFormatted(MsgManyStarting, run.shortName.c_str()));
        DrawBoard();
    }
    bool interruptSent = false;
    std::vector<ChildLine> lines;
    // Output, an end or a stop wakes the wait; the time is only a bound.
    while (ReadChildLines(&lines, 500)) {
        for (const ChildLine& l : lines) {
            PortRun* found = nullptr;
            for (PortRun& r : runs)
                if (r.child == l.child) found = &r;
            if (found == nullptr) continue;
            PortRun& run = *found;
            if (l.fromError)
                PrintAboveBoard(ConsoleError,
                                SayFormatted(MsgTagged, run.shortName.c_str(), l.text.c_str()));
            else
                TakeEvent(run, l.text, line.json, style);
        }
        lines.clear();
        NoteEndedChildren(&runs, style);
        // Ctrl-C on a terminal reaches every child itself; a stop sent to
        // the parent alone is handed on.
        if (WasInterrupted() && !interruptSent) {
            InterruptChildren();
            interruptSent = true;
        }
    }
    NoteEndedChildren(&runs, style);
    EndBoard();
    ShowTable(runs);
    return ExitCode(Worst(runs));
}

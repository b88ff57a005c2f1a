#include "cli/commands.h"
#include "cli/console_output.h"
#include "cli/controller_search.h"
#include "cli/exit_codes.h"
#include "cli/system_ports.h"
#include "protocol/frames.h"
#include "serial/port_open.h"
#include "transfer/status_lines.h"
#include "transfer/transfer.h"

// The detection leaves the reply that answered it in the frame area; the
// versions come from it by the rules a transfer applies to its own reply.
ExitCode RunDetectCommand(const CommandLine& line) {
    // The port is this command's result, on stdout with the versions.
    CommandLine searching = line;
    searching.quiet = true;
    ExitCode found = FindController(searching);
    if (found != ExitDone) return found;
    ReplyCheck check = CheckIdentReply(IdentReplySize);
    if (check.outcome != ReplyValid) {
        char text[39];
        FormatReplyFailure(text, sizeof text, IdentFailurePrefix, check);
        PrintLine(ConsoleError, "%s", text);
        return ExitLineFailed;
    }
    TakeVersionTexts();
    char versions[StatusLineSize];
    ComposeVersionLine(versions);
    if (line.quiet) return ExitDone;
    PrintLine(ConsoleOut, "Port : %s", PortShownName(currentPort).c_str());
    PrintLine(ConsoleOut, "%s", versions);
    return ExitDone;
}

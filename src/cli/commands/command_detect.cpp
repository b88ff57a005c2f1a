#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/transfers/controller_search.h"
#include "protocol/frames.h"
#include "transfer/status_lines.h"
#include "transfer/transfer.h"

// The detection leaves the reply that answered it in the frame area; the
// versions come from it by the rules a transfer applies to its own reply.
ExitCode RunDetectCommand(const CommandLine& line) {
    // The port is this command's result, on stdout with the versions.
    ExitCode found = FindController(line.port, true);
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
    // The port and the versions are the result: -q keeps them.
    PrintLine(ConsoleOut, "Port : %s", FoundPortName());
    PrintLine(ConsoleOut, "%s", versions);
    return ExitDone;
}

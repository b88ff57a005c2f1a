#include <cstdio>

#include "transfer/status_lines.h"
#include "cli/commands.h"
#include "cli/console_output.h"
#include "cli/controller_search.h"
#include "cli/exit_codes.h"
#include "protocol/frames.h"
#include "transfer/transfer.h"

// The detection leaves the reply that answered it in the frame area; the
// versions come from it by the rules a transfer applies to its own reply.
ExitCode RunDetectCommand(const CommandLine& line) {
    ExitCode found = FindController(line);
    if (found != ExitDone) return found;
    ReplyCheck check = CheckIdentReply(IdentReplySize);
    if (check.outcome != ReplyValid) {
        char text[39];
        FormatReplyFailure(text, sizeof text, IdentFailurePrefix, check);
        PrintLine(ConsoleError, "%s", text);
        return ExitLineFailed;
    }
    char versions[StatusLineSize];
    ComposeVersionLine(versions);
    if (!line.quiet) PrintLine(ConsoleOut, "%s", versions);
    return ExitDone;
}

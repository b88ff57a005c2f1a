#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/transfers/controller_search.h"
#include "protocol/frames.h"
#include "cli/console/transfer_texts.h"
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
        Failure failure =
            LineFailure(PhaseIdentReply, StageIdentification, check.outcome, check.detail);
        PrintLine(ConsoleError, "%s", FailureText(failure, text).c_str());
        return ExitLineFailed;
    }
    TakeVersionTexts();
    // The port and the versions are the result: -q keeps them.
    PrintMessage(ConsoleOut, MsgPortIs, FoundPortName());
    PrintLine(ConsoleOut, "%s", VersionsText().c_str());
    return ExitDone;
}

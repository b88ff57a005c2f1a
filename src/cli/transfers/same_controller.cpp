#include "cli/transfers/same_controller.h"

#include <string>

#include "cli/console/console_output.h"
#include "cli/console/console_text.h"
#include "cli/console/operator_console.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/region_transfer.h"

ExitCode CheckSameVersions(const ResumeRecord& record) {
    std::string firmware, second;
    FoundControllerVersions(&firmware, &second);
    if (firmware == record.firmwareVersion && second == record.secondVersion) return ExitDone;
    PrintMessage(ConsoleError, MsgOtherController, FoundPortName(), firmware.c_str(), second.c_str(),
              ShownText(record.firmwareVersion).c_str(), ShownText(record.secondVersion).c_str(),
              ShownText(record.port).c_str());
    PrintMessage(ConsoleError, MsgNothingWritten);
    return ExitFileFailed;
}

ExitCode CheckSameBlock(DataKind kind, const char* path, const char* givenName, unsigned block,
                        std::iostream* held) {
    // The check's own differences are no result of the command: counted, not
    // listed, and taken back out of the count.
    ConsoleRecord kept = ConsoleReport;
    ConsoleReport.listing = false;
    ConsoleReport.fillWritten = true;
    ExitCode code =
        RunRegionTransfer(ActionVerify, kind, path, givenName, BlockSpan{block, 1}, held);
    bool differs = ConsoleReport.differences > kept.differences;
    ConsoleReport = kept;
    if (code != ExitDone) return code;
    if (!differs) return ExitDone;
    unsigned blocks = LookUpRegion(kind).blockCount;
    PrintMessage(ConsoleError, MsgBlockDoesNotMatch, block + 1, blocks, FoundPortName(), path);
    PrintMessage(ConsoleError, MsgNothingWritten);
    return ExitFileFailed;
}

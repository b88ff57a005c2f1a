#include "cli/transfers/same_controller.h"

#include <string>

#include "cli/console/console_output.h"
#include "cli/console/console_text.h"
#include "cli/console/operator_console.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/region_transfer.h"

namespace {

const char NothingWritten[] =
    "Nic nie zapisano ; dokończ na tamtym sterowniku albo zacznij od nowa.";

}  // namespace

ExitCode CheckSameVersions(const ResumeRecord& record) {
    std::string firmware, second;
    FoundControllerVersions(&firmware, &second);
    if (firmware == record.firmwareVersion && second == record.secondVersion) return ExitDone;
    PrintLine(ConsoleError,
              "Sterownik na porcie %s ma wersje %s | %s, a przerwaną pracę wykonano na "
              "sterowniku o wersjach %s | %s (port %s).",
              FoundPortName(), firmware.c_str(), second.c_str(),
              ShownText(record.firmwareVersion).c_str(), ShownText(record.secondVersion).c_str(),
              ShownText(record.port).c_str());
    PrintLine(ConsoleError, "%s", NothingWritten);
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
    PrintLine(ConsoleError,
              "Blok %u z %u w sterowniku na porcie %s nie zgadza się z plikiem %s : to inny "
              "sterownik albo jego pamięć zmieniła się od przerwania.",
              block + 1, blocks, FoundPortName(), path);
    PrintLine(ConsoleError, "%s", NothingWritten);
    return ExitFileFailed;
}

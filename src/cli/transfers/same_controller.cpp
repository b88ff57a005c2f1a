#include "cli/transfers/same_controller.h"

#include <sstream>
#include <string>

#include "cli/console/console_output.h"
#include "cli/console/console_text.h"
#include "cli/console/operator_console.h"
#include "cli/system/files.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/region_transfer.h"

namespace {

// The file up to the end of block: compared alone, the block must not find
// the rest of the file after it, or the core would warn that the file goes on
// past the region. False when the file cannot be read: the transfer then
// opens it and says why.
bool BytesUpToBlock(const char* path, std::iostream* held, unsigned block, std::string* bytes) {
    const unsigned long long limit = (unsigned long long)(block + 1) * BlockSize;
    if (held == nullptr) {
        if (ReadWholeFile(path, limit, bytes) != WholeFileRead) return false;
    } else {
        held->clear();
        held->seekg(0);
        bytes->assign(size_t(limit), '\0');
        held->read(&(*bytes)[0], std::streamsize(limit));
        bytes->resize(size_t(held->gcount()));
        held->clear();
        held->seekg(0);
    }
    if (bytes->size() > limit) bytes->resize(size_t(limit));
    return true;
}

}  // namespace

ExitCode CheckSameVersions(const ResumeRecord& record) {
    std::string firmware, second;
    FoundControllerVersions(&firmware, &second);
    if (firmware == record.firmwareVersion && second == record.secondVersion) return ExitDone;
    PrintMessage(ConsoleError, MsgOtherController, FoundPortName(), firmware.c_str(),
                 second.c_str(), ShownText(record.firmwareVersion).c_str(),
                 ShownText(record.secondVersion).c_str(), ShownText(record.port).c_str());
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
    std::string bytes;
    std::stringstream upToBlock;
    if (BytesUpToBlock(path, held, block, &bytes)) {
        upToBlock.str(bytes);
        held = &upToBlock;
    }
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

#include "support/prepared_transfer.h"

#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "serial/serial_channel.h"
#include "transfer/transfer_internal.h"

void PrepareTransfer(int action, int kind, const std::string& path) {
    DeviceRegion region = LookUpRegion(DataKind(kind));
    TransferJob.kind = kind;
    TransferJob.action = action;
    if (action == ActionReadFromDevice) {
        OpenTargetFile(path.c_str());
    } else {
        OpenSourceFile(path.c_str());
    }
    TransferJob.firstBlock = TransferJob.nextBlock = region.firstBlock;
    TransferJob.blocksLeft = region.blockCount;
    TransferJob.retriesOfBlock = TransferJob.blocksRetried = 0;
    TransferJob.blockFrameSent = false;
    BuildIdentRequest();
}

bool BeginPreparedTransfer(int action, int kind, const std::string& path) {
    PrepareTransfer(action, kind, path);
    unsigned long started = StartWrite(1);
    if (started != ErrorSuccess && started != ErrorIoPending) return false;
    TransferJob.phase = PhaseEscapeSent;
    return true;
}

void ResetTransferJob() {
    TransferJob.inputFile.close();
    TransferJob.outputFile.close();
    TransferJob.inputFile.clear();
    TransferJob.outputFile.clear();
    TransferJob.kind = TransferJob.action = TransferJob.phase = 0;
    TransferJob.lastChecksum = 0;
    TransferJob.nextBlock = TransferJob.blocksLeft = TransferJob.firstBlock = 0;
    TransferJob.repeatPending = 0;
    TransferJob.failure = FailureNone;
    TransferJob.blockRetries = TransferJob.retriesOfBlock = TransferJob.blocksRetried = 0;
    TransferJob.blockFrameSent = false;
    ResetVersionTexts();
}

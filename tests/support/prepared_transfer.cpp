#include "support/prepared_transfer.h"

#include <cstring>

#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "transfer/transfer.h"

void PrepareTransfer(int action, int kind, const std::string& path) {
    DeviceRegion region = LookUpRegion(kind);
    TransferJob.kind = kind;
    TransferJob.action = action;
    if (action == ActionReadFromDevice) {
        OpenTargetFile(path.c_str());
    } else {
        TransferJob.inputFile.close();
        TransferJob.inputFile.clear();
        TransferJob.inputFile.open(path, std::ios::binary);
    }
    TransferJob.firstBlock = TransferJob.nextBlock = region.firstBlock;
    TransferJob.blocksLeft = region.blockCount;
    BuildIdentRequest();
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
    std::strcpy(IoBuffer.firmwareVersionText, "N/A");
    std::strcpy(IoBuffer.secondVersionText, "N/A");
}

#include <cstdio>

#include "operator/operator.h"
#include "protocol/io_buffer.h"
#include "transfer/transfer_internal.h"

namespace {

const char VerifyQuestionFormat[] = "Błąd weryfikacji : blok %u poz. %d\n%u, %u\nKontynuować ?";

}  // namespace

VerifyOutcome VerifyBlock(const uint8_t fileBlock[BlockSize], unsigned fileBytes) {
    const uint8_t* device = IoBuffer.frameArea;
    for (int j = 0; j < BlockSize; ++j) {
        if (fileBlock[j] == device[j]) continue;
        unsigned long blockInFile = TransferJob.nextBlock - TransferJob.firstBlock;
        VerifyDifference difference = {unsigned(TransferJob.nextBlock) + 1,
                                       j,
                                       blockInFile * BlockSize + unsigned(j),
                                       fileBlock[j],
                                       device[j],
                                       unsigned(j) >= fileBytes};
        char text[79];
        std::snprintf(text, sizeof text, VerifyQuestionFormat, difference.block, j,
                      difference.fileByte, difference.deviceByte);
        if (AskAboutDifference(difference, text) == AnswerYes) continue;
        TransferJob.phase = PhaseIdle;
        TransferJob.failure = FailureStopped;
        CloseSourceFile();
        return VerifyStopped;
    }
    return BlockCompared;
}

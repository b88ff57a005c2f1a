#include "protocol/frames.h"

#include <cstdio>

#include "protocol/io_buffer.h"

namespace {

const char MissingDataText[] = "brak danych : ";
const char SurplusDataText[] = "nadmiar danych";
const char OtherVersionsText[] = "inne wersje";
const char RefusedText[] = "NAK";
const char AckErrorText[] = "błąd ACK : ";
const char ChecksumErrorText[] = "sumy kontrolnej : ";

}  // namespace

uint8_t SumBytes(const uint8_t* bytes, size_t n) {
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) sum += bytes[i];
    return uint8_t(sum);
}

namespace {

uint8_t BalanceOf(const uint8_t* bytes, size_t n) { return uint8_t(0x100 - SumBytes(bytes, n)); }

}  // namespace

void BuildIdentRequest() { IoBuffer.frameArea[0] = ByteEsc; }

void FormatVersionText(char text[6], unsigned major, unsigned minor) {
    if (major > 9) {
        text[0] = '?';
    } else {
        text[0] = char('0' + major);
    }
    text[1] = '.';
    if (major > 9 || minor > 99) {
        text[2] = '?';
        text[3] = '?';
    } else {
        text[2] = char('0' + minor / 10);
        text[3] = char('0' + minor % 10);
    }
    text[4] = '\0';
}

ReplyCheck CheckIdentReply(unsigned long count) {
    const uint8_t* f = IoBuffer.frameArea;
    uint8_t sum = SumBytes(f, IdentSummedSize);
    if (count != IdentReplySize) return ReplyCheck{ReplyMissingData, unsigned(count)};
    if (f[IdentReplySize - 1] == ByteNak) return ReplyCheck{ReplyRefused, 0};
    if (f[IdentReplySize - 1] != ByteAck) return ReplyCheck{ReplyAckError, f[IdentReplySize - 1]};
    if (sum != 0) return ReplyCheck{ReplyChecksumError, sum};
    return ReplyCheck{ReplyValid, 0};
}

void TakeVersionTexts() {
    const uint8_t* f = IoBuffer.frameArea;
    FormatVersionText(IoBuffer.firmwareVersionText, f[0], f[1]);
    FormatVersionText(IoBuffer.secondVersionText, f[2], f[3]);
}

void BuildBlockCommand(TransferAction action, uint16_t block) {
    uint8_t* f = IoBuffer.frameArea;
    f[0] = action == ActionWriteToDevice ? OpWriteBlock : OpReadBlock;
    f[1] = uint8_t(block & 0xFF);
    f[2] = uint8_t(block >> 8);
    f[3] = BalanceOf(f, CommandFrameSize - 1);
}

ReplyCheck CheckByteReply(unsigned long count) {
    uint8_t reply = IoBuffer.frameArea[0];
    if (count != ByteReplySize) return ReplyCheck{ReplyMissingData, unsigned(count)};
    if (reply == ByteAck) return ReplyCheck{ReplyValid, 0};
    if (reply == ByteNak) return ReplyCheck{ReplyRefused, 0};
    return ReplyCheck{ReplyAckError, reply};
}

uint8_t SealDataFrame() {
    uint8_t* f = IoBuffer.frameArea;
    f[BlockSize] = BalanceOf(f, BlockSize);
    return f[BlockSize];
}

ReplyCheck CheckDataFrame(unsigned long count) {
    uint8_t sum = SumBytes(IoBuffer.frameArea, DataFrameSize);
    if (count != DataFrameSize) return ReplyCheck{ReplyMissingData, unsigned(count)};
    if (sum != 0) return ReplyCheck{ReplyChecksumError, sum};
    return ReplyCheck{ReplyValid, 0};
}

void FormatReplyFailure(char* text, size_t size, const char* prefix, ReplyCheck check) {
    switch (check.outcome) {
    case ReplyMissingData:
        std::snprintf(text, size, "%s%s%u", prefix, MissingDataText, check.detail);
        break;
    case ReplyRefused: std::snprintf(text, size, "%s%s", prefix, RefusedText); break;
    case ReplyAckError:
        std::snprintf(text, size, "%s%s%2x", prefix, AckErrorText, check.detail);
        break;
    case ReplyChecksumError:
        std::snprintf(text, size, "%s%s%x", prefix, ChecksumErrorText, check.detail);
        break;
    case ReplySurplusData: std::snprintf(text, size, "%s%s", prefix, SurplusDataText); break;
    case ReplyOtherVersions: std::snprintf(text, size, "%s%s", prefix, OtherVersionsText); break;
    default: std::snprintf(text, size, "%s", prefix); break;
    }
}

// Frame building and reply checks against a small model of the line's rules:
// whatever bytes and counts arrive, every check gives the outcome the rules
// give, and every failure text fits its buffer and keeps its terminator.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_checks.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"

namespace {

// The rules, written out once more for the model.
int ModelIdent(const uint8_t* b, unsigned long count) {
    if (count != 6) return ReplyMissingData;
    if (b[5] == ByteNak) return ReplyRefused;
    if (b[5] != ByteAck) return ReplyAckError;
    if (Sum(b, 5) != 0) return ReplyChecksumError;
    return ReplyValid;
}

int ModelByte(const uint8_t* b, unsigned long count) {
    if (count != 1) return ReplyMissingData;
    if (b[0] == ByteAck) return ReplyValid;
    if (b[0] == ByteNak) return ReplyRefused;
    return ReplyAckError;
}

int ModelFrame(const uint8_t* b, unsigned long count) {
    if (count != 257) return ReplyMissingData;
    return Sum(b, 257) == 0 ? ReplyValid : ReplyChecksumError;
}

void CheckText(const char* prefix, ReplyCheck check, size_t size) {
    char text[64];
    std::memset(text, 'X', sizeof text);
    FormatReplyFailure(text, size, prefix, check);
    Require(std::memchr(text, '\0', size) != nullptr, "failure text keeps its terminator");
    Require(text[size] == 'X', "failure text stays inside its buffer");
    Require(std::strncmp(text, prefix, std::strlen(prefix)) == 0 || std::strlen(text) == size - 1,
            "failure text starts with its prefix");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    unsigned long count = (unsigned long)(data[0] | (data[1] << 8)) % 300;
    int which = data[2] % 5;
    data += 3;
    size -= 3;
    uint8_t* area = IoBuffer.frameArea;
    std::memset(area, 0, sizeof IoBuffer.frameArea);
    std::memcpy(area, data, size < 257 ? size : 257);
    uint8_t copy[257];
    std::memcpy(copy, area, sizeof copy);

    switch (which) {
    case 0: {
        char before[12];
        std::memcpy(before, IoBuffer.firmwareVersionText, 6);
        std::memcpy(before + 6, IoBuffer.secondVersionText, 6);
        ReplyCheck c = CheckIdentReply(count);
        Require(c.outcome == ModelIdent(copy, count), "identification reply outcome");
        if (c.outcome == ReplyMissingData) Require(c.detail == count, "missing count");
        if (c.outcome == ReplyAckError) Require(c.detail == copy[5], "status byte");
        if (c.outcome == ReplyChecksumError) Require(c.detail == Sum(copy, 5), "ident sum");
        Require(std::memcmp(before, IoBuffer.firmwareVersionText, 6) == 0 &&
                    std::memcmp(before + 6, IoBuffer.secondVersionText, 6) == 0,
                "the check leaves the versions alone");
        if (c.outcome == ReplyValid) {
            TakeVersionTexts();
            Require(std::strlen(IoBuffer.firmwareVersionText) == 4 &&
                        std::strlen(IoBuffer.secondVersionText) == 4,
                    "version texts hold four characters");
        }
        CheckText("Błąd inicjacji : ", c, 39);
        break;
    }
    case 1: {
        ReplyCheck c = CheckByteReply(count);
        Require(c.outcome == ModelByte(copy, count), "1-byte reply outcome");
        CheckText("Błąd potwierdzenia : ", c, 39);
        break;
    }
    case 2: {
        ReplyCheck c = CheckDataFrame(count);
        Require(c.outcome == ModelFrame(copy, count), "data frame outcome");
        if (c.outcome == ReplyChecksumError) Require(c.detail == Sum(copy, 257), "frame sum");
        CheckText("Błąd przesyłania : ", c, 49);
        break;
    }
    case 3: {
        uint8_t sealed = SealDataFrame();
        Require(std::memcmp(area, copy, 256) == 0, "sealing keeps the block");
        Require(area[256] == sealed && Sum(area, 257) == 0, "a sealed frame balances");
        Require(CheckDataFrame(257).outcome == ReplyValid, "a sealed frame checks valid");
        break;
    }
    default: {
        int action = copy[0] % 3;
        uint16_t block = uint16_t(copy[1] | (copy[2] << 8));
        BuildBlockCommand(TransferAction(action), block);
        Require(area[0] == (action == ActionWriteToDevice ? OpWriteBlock : OpReadBlock), "op");
        Require((area[1] | (area[2] << 8)) == block, "block number, low byte first");
        Require(Sum(area, 4) == 0, "a command balances");
        char text[6];
        FormatVersionText(text, copy[3], copy[4]);
        Require(text[4] == '\0' && std::strlen(text) == 4, "version text of four characters");
        break;
    }
    }
    return 0;
}

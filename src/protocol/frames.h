// Frames of the Dm730 line, built and checked in place in IoBuffer.frameArea.
#pragma once
#include <cstddef>
#include <cstdint>

#include "protocol/regions.h"

const uint8_t ByteEsc = 0x1B;
const uint8_t ByteAck = 0x06;
const uint8_t ByteNak = 0x15;
const uint8_t OpWriteBlock = 0x11;
const uint8_t OpReadBlock = 0x12;

// The frames' sizes on the line: the escape that asks for identification,
// its reply (four version bytes, a balancing checksum, ACK), a block command
// (operation, block number low and high, checksum), the one-byte reply to a
// command or a block, and a data frame (256 bytes and their checksum).
const unsigned IdentRequestSize = 1;
const unsigned IdentReplySize = 6;
const unsigned IdentSummedSize = IdentReplySize - 1;  // the bytes before its ACK
const unsigned CommandFrameSize = 4;
const unsigned ByteReplySize = 1;
const unsigned DataFrameSize = BlockSize + 1;

// What a transfer does with its region; writing sends blocks, the other two read them.
enum TransferAction { ActionWriteToDevice = 0, ActionReadFromDevice = 1, ActionVerify = 2 };

// Every outcome of the program counts 0 as success, as libserialport's SP_OK.
enum ReplyOutcome {
    ReplyValid = 0,
    ReplyMissingData,    // detail: the received byte count
    ReplyRefused,        // NAK
    ReplyAckError,       // detail: the received status byte
    ReplyChecksumError,  // detail: the 8-bit sum of the covered bytes
    // More came than the exchange allows: the line is out of step with the
    // device, and whatever the reply said belongs to another frame.
    ReplySurplusData,
    // A valid identification reply with other versions than the one the
    // transfer began with: another controller answers on the line.
    ReplyOtherVersions,
};

struct ReplyCheck {
    ReplyOutcome outcome;
    unsigned detail;
};

void BuildIdentRequest();
// Tests the reply in the frame area; the version texts are left as they are.
ReplyCheck CheckIdentReply(unsigned long count);
// Both version texts of IoBuffer from the reply in the frame area, once the
// reply is accepted: a reply refused for any reason never shows its versions.
void TakeVersionTexts();
void FormatVersionText(char text[6], unsigned major, unsigned minor);

void BuildBlockCommand(TransferAction action, uint16_t block);
ReplyCheck CheckByteReply(unsigned long count);
uint8_t SealDataFrame();
ReplyCheck CheckDataFrame(unsigned long count);
uint8_t SumBytes(const uint8_t* bytes, size_t n);

// "prefix" followed by the detail of a failed check, cut to size and terminated.
void FormatReplyFailure(char* text, size_t size, const char* prefix, ReplyCheck check);

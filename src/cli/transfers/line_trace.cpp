#include "cli/transfers/line_trace.h"

#include <chrono>
#include <cstring>

#include "cli/console/console_text.h"
#include "cli/console/messages.h"
#include "cli/transfers/line_diagnosis.h"
#include "protocol/frames.h"
#include "protocol/regions.h"
#include "serial/line_watch.h"
#include "transfer/transfer.h"

namespace {

// What is kept of a frame: all of a short one, the first and last 16 bytes
// of a data frame (the last of them its checksum).
const unsigned KeptBytes = 16;

struct Exchange {
    int64_t us;  // since the trace started, on the monotonic clock
    LineDirection direction;
    unsigned long count;
    unsigned long requested;
    uint8_t head[KeptBytes];
    uint8_t tail[KeptBytes];
    int32_t kind;  // of the transfer under way, for a block's place in its region
};

struct TraceState {
    bool watching = false;
    std::chrono::steady_clock::time_point start;
    Exchange ring[TraceDepth];
    unsigned long count = 0;
    std::FILE* every = nullptr;
    LineWatcher listener = nullptr;
};

TraceState Trace;

// What the lines before this one were, so that an answer can be named by
// what it answers.
struct ReadingContext {
    int64_t previousUs = 0;
    bool haveOut = false;
    Exchange lastOut = {};
    unsigned lastCommandBlock = 0;  // as the command numbered it, from the memory's start
    bool lastCommandRead = false;
    bool lastInFrame = false;  // the latest exchange was a data frame that came in
};

// "blok 8 z 512" for a block of the transfer's region, counted from 1.
std::string BlockInRegion(unsigned absolute, int32_t kind) {
    if (kind >= 0 && kind < int32_t(DataKindCount)) {
        DeviceRegion region = LookUpRegion(DataKind(kind));
        if (absolute >= region.firstBlock && absolute < region.firstBlock + region.blockCount)
            return SayFormatted(MsgTraceBlockOf, (unsigned long)(absolute - region.firstBlock + 1),
                                region.blockCount);
    }
    return SayFormatted(MsgTraceMemoryBlock, (unsigned long)absolute);
}

std::string BytesOf(const Exchange& e) {
    if (e.count <= 2 * KeptBytes) {
        // The head and the tail overlap or meet: the whole frame.
        uint8_t whole[2 * KeptBytes];
        unsigned long headPart = e.count < KeptBytes ? e.count : KeptBytes;
        memcpy(whole, e.head, headPart);
        if (e.count > KeptBytes)
            memcpy(whole + KeptBytes, e.tail + (2 * KeptBytes - e.count), e.count - KeptBytes);
        return HexBytes(whole, e.count);
    }
    std::string text = HexBytes(e.head, KeptBytes) + " ... " + HexBytes(e.tail, KeptBytes - 1);
    if (e.count == DataFrameSize)
        return text + Say(MsgTraceSum) + HexBytes(e.tail + KeptBytes - 1, 1);
    return text + " " + HexBytes(e.tail + KeptBytes - 1, 1);
}

std::string OneByteAnswer(uint8_t b) {
    if (b == ByteAck) return "ACK";
    if (b == ByteNak) return "NAK";
    return SayFormatted(MsgTraceByte, unsigned(b));
}

std::string WhatWentOut(const Exchange& e, ReadingContext* context) {
    if (e.count == IdentRequestSize && e.head[0] == ByteEsc) return Say(MsgTraceAsk);
    if (e.count == CommandFrameSize && (e.head[0] == OpReadBlock || e.head[0] == OpWriteBlock)) {
        context->lastCommandBlock = unsigned(e.head[1]) | unsigned(e.head[2]) << 8;
        context->lastCommandRead = e.head[0] == OpReadBlock;
        return SayFormatted(context->lastCommandRead ? MsgTraceReadCommand : MsgTraceWriteCommand,
                            BlockInRegion(context->lastCommandBlock, e.kind).c_str());
    }
    if (e.count == DataFrameSize)
        return SayFormatted(MsgTraceDataFrame,
                            BlockInRegion(context->lastCommandBlock, e.kind).c_str());
    return std::to_string(e.count) + " B";
}

std::string WhatCameIn(const Exchange& e, const ReadingContext& context) {
    std::string of = SayFormatted(MsgTraceOf, (unsigned long)e.count, (unsigned long)e.requested);
    // The end of a read: whatever comes after its last frame is too much.
    if (context.lastInFrame && e.requested == ByteReplySize)
        return e.count == 0 ? Say(MsgTraceNothingMore)
                            : SayFormatted(MsgTraceSurplusByte, OneByteAnswer(e.head[0]).c_str());
    if (e.count == 0) return SayFormatted(MsgTraceSilence, (unsigned long)e.requested);
    const Exchange* out = context.haveOut ? &context.lastOut : nullptr;
    if (out != nullptr && out->count == IdentRequestSize && out->head[0] == ByteEsc)
        return e.count == IdentReplySize ? Say(MsgTraceIdentReply)
                                         : SayFormatted(MsgTraceEscReply, of.c_str());
    if (e.requested == DataFrameSize)
        return SayFormatted(MsgTraceDataFrame,
                            BlockInRegion(context.lastCommandBlock, e.kind).c_str()) +
               (e.count == DataFrameSize ? "" : of);
    if (e.requested == ByteReplySize && out != nullptr)
        return SayFormatted(out->count == DataFrameSize ? MsgTraceFrameReply : MsgTraceCommandReply,
                            OneByteAnswer(e.head[0]).c_str());
    return SayFormatted(MsgTraceReceived, of.c_str());
}

std::string LineOf(const Exchange& e, ReadingContext* context) {
    std::string what = e.direction == LineOut ? WhatWentOut(e, context) : WhatCameIn(e, *context);
    char times[64];
    snprintf(times, sizeof times, "%12.6f s  +%9.3f ms  %s  ", double(e.us) / 1e6,
             double(e.us - context->previousUs) / 1e3, e.direction == LineOut ? "->" : "<-");
    context->previousUs = e.us;
    context->lastInFrame = e.direction == LineIn && e.requested == DataFrameSize;
    if (e.direction == LineOut) {
        context->haveOut = true;
        context->lastOut = e;
    }
    std::string bytes = BytesOf(e);
    return times + what + (bytes.empty() ? "" : "  [" + bytes + "]");
}

// For the file of every exchange: its own reading of the lines so far.
ReadingContext EveryContext;

void Keep(LineDirection direction, const uint8_t* bytes, unsigned long count,
          unsigned long requested) {
    Exchange& e = Trace.ring[Trace.count % TraceDepth];
    e.us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 Trace.start)
               .count();
    e.direction = direction;
    e.count = count;
    e.requested = requested;
    e.kind = TransferJob.kind;
    unsigned long headPart = count < KeptBytes ? count : KeptBytes;
    memcpy(e.head, bytes, headPart);
    if (count >= KeptBytes)
        memcpy(e.tail, bytes + count - KeptBytes, KeptBytes);
    else
        memcpy(e.tail + (KeptBytes - count), bytes, count);
    ++Trace.count;
    if (Trace.listener != nullptr) Trace.listener(direction, bytes, count, requested);
    if (Trace.every != nullptr) {
        std::string line = Utf8FromCp1250(LineOf(e, &EveryContext).c_str()) + "\n";
        std::fputs(line.c_str(), Trace.every);
        std::fflush(Trace.every);
    }
}

}  // namespace

void StartLineTrace(std::FILE* everyTo) {
    Trace.start = std::chrono::steady_clock::now();
    Trace.count = 0;
    Trace.every = everyTo;
    EveryContext = ReadingContext();
    Trace.watching = true;
    WatchLineWith(Keep);
}

void StopLineTrace() {
    WatchLineWith(nullptr);
    Trace.watching = false;
    Trace.every = nullptr;
}

void AlsoTellLine(LineWatcher listener) { Trace.listener = listener; }

unsigned long ExchangeCount() { return Trace.count; }

std::string KeptExchangesText() {
    unsigned long kept = Trace.count < TraceDepth ? Trace.count : TraceDepth;
    std::string text = SayFormatted(MsgTraceCount, Trace.count, kept) + "\n";
    ReadingContext context;
    for (unsigned long i = Trace.count - kept; i < Trace.count; ++i) {
        const Exchange& e = Trace.ring[i % TraceDepth];
        if (i == Trace.count - kept) context.previousUs = e.us;
        text += LineOf(e, &context) + "\n";
    }
    return text;
}

#include "cli/console/json_events.h"

#include <chrono>
#include <nlohmann/json.hpp>

#include "cli/console/console_output.h"
#include "cli/console/console_text.h"
#include "protocol/frames.h"
#include "protocol/regions.h"
#include "transfer/transfer.h"

const char EventSchemaName[] = "dm730-events";
const char EventSchemaVersion[] = "1.1";

namespace {

typedef nlohmann::ordered_json Event;
typedef std::chrono::steady_clock Clock;

// Twice a second is enough for a person watching, and costs nothing on the line.
const double ProgressInterval = 0.5;

struct EventState {
    bool on = false;
    Clock::time_point started;
    Clock::time_point progressAt;
    long progressDone = -1;
    unsigned long regionBlocks = 0;  // expected, or 0
    int32_t retriedBlock = -1;
    int32_t retriesSeen = 0;
    std::string detail;  // UTF-8
};
EventState Events;

double Seconds() { return std::chrono::duration<double>(Clock::now() - Events.started).count(); }

// Escapes every byte above 0x7F: a UTF-8 text becomes \u0105 and the like.
void Emit(const Event& event) {
    PrintEventLine(event.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace));
}

const char* ActionWord(int32_t action) {
    switch (action) {
    case ActionWriteToDevice: return "write";
    case ActionReadFromDevice: return "read";
    default: return "verify";
    }
}

const char* KindWord() {
    return IsDataKind(TransferJob.kind) ? FactsOf(DataKind(TransferJob.kind)).word : "";
}

// The blocks of the region the transfer has done, and all it is to move.
unsigned long RegionDone() {
    if (!IsDataKind(TransferJob.kind)) return 0;
    return (unsigned long)(TransferJob.nextBlock -
                           LookUpRegion(DataKind(TransferJob.kind)).firstBlock);
}

Event Transfer(const char* event) {
    Event e;
    e["event"] = event;
    e["kind"] = KindWord();
    e["action"] = ActionWord(TransferJob.action);
    return e;
}

}  // namespace

void StartEvents(const std::string& program, const char* command) {
    Events = EventState();
    Events.on = true;
    Events.started = Clock::now();
    KeepStdoutForEvents();
    Event e;
    e["schema"] = EventSchemaName;
    e["version"] = EventSchemaVersion;
    e["program"] = program;
    e["command"] = command;
    Emit(e);
}

bool EventsOn() { return Events.on; }

void EventControllerFound(const std::string& port, const std::string& firmware,
                          const std::string& second) {
    if (!Events.on) return;
    Event e;
    e["event"] = "controller";
    e["port"] = Utf8FromMixedText(port.c_str());
    e["firmwareVersion"] = firmware;
    e["secondVersion"] = second;
    Emit(e);
}

void EventPortListed(const std::string& port, const std::string& transport,
                     const std::string& usbId, const std::string& product,
                     const std::string& serialNumber, const std::string& location,
                     const std::string& byId, const std::string& hold,
                     const std::string& selector) {
    if (!Events.on) return;
    Event e;
    e["event"] = "port";
    e["port"] = Utf8FromMixedText(port.c_str());
    e["transport"] = transport;
    e["usbId"] = usbId;
    e["product"] = Utf8FromMixedText(product.c_str());
    e["serialNumber"] = Utf8FromMixedText(serialNumber.c_str());
    e["location"] = Utf8FromMixedText(location.c_str());
    e["byId"] = byId;
    e["hold"] = hold;
    e["selector"] = Utf8FromMixedText(selector.c_str());
    Emit(e);
}

void EventProgress() {
    if (!Events.on || TransferJob.phase == PhaseIdle) return;
    long done = long(RegionDone());
    bool last = TransferJob.blocksLeft == 0;
    if (done == Events.progressDone) return;
    if (!last && Events.progressDone >= 0 &&
        std::chrono::duration<double>(Clock::now() - Events.progressAt).count() < ProgressInterval)
        return;
    Events.progressDone = done;
    Events.progressAt = Clock::now();
    Event e = Transfer("progress");
    e["block"] = done;
    long left = long(TransferJob.blocksLeft);
    e["blocks"] = Events.regionBlocks > 0 && !last ? long(Events.regionBlocks) : done + left;
    e["bytes"] = done * long(BlockSize);
    e["seconds"] = Seconds();
    Emit(e);
}

void EventRetry() {
    if (!Events.on) return;
    int32_t block = int32_t(TransferJob.nextBlock);
    if (block != Events.retriedBlock) {
        Events.retriedBlock = block;
        Events.retriesSeen = 0;
    }
    if (TransferJob.retriesOfBlock <= Events.retriesSeen) return;
    Events.retriesSeen = TransferJob.retriesOfBlock;
    Event e = Transfer("retry");
    e["block"] = RegionDone() + 1;
    e["try"] = TransferJob.retriesOfBlock + 1;
    e["seconds"] = Seconds();
    Emit(e);
}

void EventDifference(unsigned long block, unsigned blocks, int position, long fileOffset,
                     int fileByte, int deviceByte) {
    if (!Events.on) return;
    Event e = Transfer("difference");
    e["block"] = block;
    e["blocks"] = blocks;
    e["position"] = position;
    if (fileOffset >= 0) {
        e["fileOffset"] = fileOffset;
        e["fileByte"] = fileByte;
    } else {
        e["pastFileEnd"] = true;
    }
    e["deviceByte"] = deviceByte;
    Emit(e);
}

void EventRegionEnd(unsigned long blocksDone, int exitCode) {
    if (!Events.on) return;
    Event e = Transfer("regionEnd");
    e["blocks"] = blocksDone;
    e["exitCode"] = exitCode;
    e["code"] = ResultCode(exitCode);
    e["seconds"] = Seconds();
    Emit(e);
    Events.progressDone = -1;
    Events.regionBlocks = 0;
}

void ExpectRegionBlocks(unsigned long blocks) { Events.regionBlocks = blocks; }

void NoteFailureDetail(const std::string& text) {
    if (Events.on && Events.detail.empty()) Events.detail = Utf8FromMixedText(text.c_str());
}

void EventResult(int exitCode) {
    if (!Events.on) return;
    Event e;
    e["event"] = "result";
    e["exitCode"] = exitCode;
    e["code"] = ResultCode(exitCode);
    const MessageText& meaning = MessageTable[ResultMeaning(exitCode)];
    e["message"] = {{"pl", Utf8FromCp1250(meaning.pl)}, {"en", meaning.en}};
    if (!Events.detail.empty()) e["detail"] = Events.detail;
    e["seconds"] = Seconds();
    Emit(e);
}

namespace {

struct ResultText {
    int exitCode;
    const char* code;
    MessageId meaning;
};

// The exit codes as --help lists them, a stable word for each.
const ResultText ResultTexts[] = {
    {0, "done", MsgResultDone},
    {1, "line-failed", MsgResultLineFailed},
    {2, "usage", MsgResultUsage},
    {3, "file", MsgResultFile},
    {4, "differences", MsgResultDifferences},
    {5, "no-controller", MsgResultNoController},
    {6, "port-unusable", MsgResultPortUnusable},
    {130, "interrupted", MsgResultInterrupted},
};

const ResultText* TextOf(int exitCode) {
    for (const ResultText& r : ResultTexts)
        if (r.exitCode == exitCode) return &r;
    return nullptr;
}

}  // namespace

const char* ResultCode(int exitCode) {
    const ResultText* r = TextOf(exitCode);
    return r != nullptr ? r->code : "unknown";
}

MessageId ResultMeaning(int exitCode) {
    const ResultText* r = TextOf(exitCode);
    return r != nullptr ? r->meaning : MsgResultUnknown;
}

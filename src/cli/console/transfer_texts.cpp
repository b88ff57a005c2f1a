#include "cli/console/transfer_texts.h"

#include "cli/console/language.h"
#include "cli/console/messages.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "transfer/transfer.h"

namespace {

const MessageId ActionNames[3] = {MsgActionWrite, MsgActionRead, MsgActionVerify};
const MessageId KindNames[DataKindCount] = {MsgKindNameFirmware, MsgKindNameLibraries,
                                            MsgKindNameScenes};
const MessageId KindContentsTexts[DataKindCount] = {MsgKindFirmware, MsgKindLibraries,
                                                    MsgKindScenes};
// By phase number.
const MessageId PhaseWorks[LastTransferPhase + 1] = {
    MsgNone,
    MsgPhaseIdentAsk,
    MsgPhaseIdentReply,
    MsgPhaseCommand,
    MsgPhaseCommandSend,
    MsgPhaseCommandAck,
    MsgPhaseBlockSend,
    MsgPhaseBlockAck,
    MsgPhaseBlockReceive,
    MsgPhaseRegionEnd,
    MsgPhaseRetryQuiet,
    MsgPhaseRetryAsk,
    MsgPhaseRetryReply,
};

MessageId NameOf(const MessageId* names, int count, int value) {
    return value >= 0 && value < count ? names[value] : MsgNone;
}

std::string ReplyFault(const Failure& failure) {
    unsigned detail = failure.replyDetail;
    switch (ReplyOutcome(failure.replyOutcome)) {
    case ReplyMissingData: return SayFormatted(MsgReplyMissing, detail);
    case ReplyRefused: return Say(MsgReplyRefused);
    case ReplyAckError: return SayFormatted(MsgReplyAck, detail);
    case ReplyChecksumError: return SayFormatted(MsgReplyChecksum, detail);
    case ReplySurplusData: return Say(MsgReplySurplus);
    case ReplyOtherVersions: return Say(MsgReplyOtherVersions);
    case ReplyValid: break;
    }
    return "";
}

std::string LineFailureText(const Failure& failure) {
    switch (failure.stage) {
    case StageIdentification:
        return SayFormatted(MsgFailIdentification, ReplyFault(failure).c_str());
    case StageCommand: return SayFormatted(MsgFailCommand, ReplyFault(failure).c_str());
    case StageTransfer: return SayFormatted(MsgFailTransfer, ReplyFault(failure).c_str());
    case StageSystem:
    case StageNone: break;
    }
    return SayFormatted(MsgFailSystem, failure.systemError);
}

MessageId FileFailureText(FileOperation operation) {
    switch (operation) {
    case FileRead: return MsgFailFileRead;
    case FileWrite: return MsgFailFileWrite;
    case FileCut: return MsgFailFileCut;
    case FileBeyondRegion: return MsgFailFileTooLong;
    case FileOpen:
    case FileNoOperation: break;
    }
    return MsgFailFileOpen;
}

}  // namespace

std::string ActionText() {
    return SayFormatted(MsgActionLine, Say(NameOf(ActionNames, 3, TransferJob.action)),
                        Say(NameOf(KindNames, DataKindCount, TransferJob.kind)));
}

std::string BlockText() {
    int next = TransferJob.nextBlock;
    int left = TransferJob.blocksLeft;
    int first = TransferJob.firstBlock;
    return SayFormatted(MsgBlockLine, next - first + 1, next + left - first);
}

std::string VersionsText() {
    // The precision keeps a version field without its terminator inside the field.
    const int precision = sizeof IoBuffer.firmwareVersionText;
    return SayFormatted(MsgVersionLine, precision, IoBuffer.firmwareVersionText, precision,
                        IoBuffer.secondVersionText);
}

const char* KindContents(DataKind kind) {
    return Say(NameOf(KindContentsTexts, DataKindCount, kind));
}

std::string FailureText(const Failure& failure, const char* coreText) {
    if (ProgramLanguage() == LanguagePolish) return coreText;
    switch (failure.kind) {
    case FailureLine: return LineFailureText(failure);
    case FailureFile: return Say(FileFailureText(failure.operation));
    case FailureRule: return Say(MsgFailExtension);
    case FailurePort: return Say(MsgFailPortOpen);
    case FailureNoDevice: return Say(MsgFailNoDevice);
    case FailureStopped:
    case FailureNone: break;
    }
    return coreText;
}

const char* PhaseWork(int phase) { return Say(NameOf(PhaseWorks, LastTransferPhase + 1, phase)); }

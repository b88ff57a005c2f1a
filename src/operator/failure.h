// What kind of failure the core reports, decided where it fails, so that a
// front end acts on the kind (an exit code, a hint) and never on the text or
// the icon of the message.
#pragma once

enum FailureKind {
    FailureNone = 0,
    FailureLine,      // the device or the line: a failed poll or a wrong reply
    FailureFile,      // the transfer's file could not be opened, read, written or cut
    FailureRule,      // the file breaks a rule of the program (its extension)
    FailureStopped,   // the operator stopped the transfer
    FailurePort,      // the port could not be opened or set up, or none is open
    FailureNoDevice,  // no port answered as the controller
};

// What was done to the file when it failed.
enum FileOperation {
    FileNoOperation = 0,
    FileOpen,
    FileRead,
    FileWrite,
    // The read's target cut to nothing once the device answered.
    FileCut,
    // The file goes on where the region ends: the rest of it never reached the
    // device or was never compared.
    FileBeyondRegion,
};

// Which exchange a failure of the line ended: the window's message starts
// with the stage's own words, a front end in another language says its own.
enum LineStage {
    StageNone = 0,
    StageIdentification,  // asking for the versions
    StageCommand,         // the acknowledgement of a block command
    StageTransfer,        // a block, or the transfer as a whole
    StageSystem,          // the system's call on the port failed: systemError says how
};

struct Failure {
    FailureKind kind;
    // The transfer's phase (a TransferPhase) it failed in; 0 outside a transfer.
    int phase;
    FileOperation operation;
    // The file's path, or null; valid during the call that reports it.
    const char* path;
    // The system's code: errno, GetLastError(), or a failed poll's error
    // code; 0 when the system reported none.
    unsigned long systemError;
    // A failure of the line: where, and the reply's fault (a ReplyOutcome,
    // 0 when the system's call failed) with its detail.
    LineStage stage;
    int replyOutcome;
    unsigned replyDetail;
};

inline Failure LineFailure(int phase, LineStage stage, int replyOutcome, unsigned replyDetail,
                           unsigned long systemError = 0) {
    return Failure{FailureLine, phase, FileNoOperation, nullptr,
                   systemError, stage, replyOutcome,    replyDetail};
}
inline Failure FileFailure(int phase, FileOperation operation, const char* path,
                           unsigned long systemError) {
    return Failure{FailureFile, phase, operation, path, systemError, StageNone, 0, 0};
}
inline Failure KindOnlyFailure(FailureKind kind, unsigned long systemError = 0) {
    return Failure{kind, 0, FileNoOperation, nullptr, systemError, StageNone, 0, 0};
}

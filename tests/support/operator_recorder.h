// The operator in tests: records every box, repaint and port mark, and answers
// questions and file dialogs from a script.
#pragma once
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "operator/operator.h"

struct ShownBox {
    std::string text;  // Windows-1250 bytes, as the program composed them
    std::string caption;
    unsigned style;
    // A box of ReportFailure: what failed; FailureNone for any other box.
    FailureKind kind = FailureNone;
    int phase = 0;
    FileOperation operation = FileNoOperation;
    std::string path;
};

struct DialogScript {
    bool choose;               // false: the operator cancels
    std::string path;          // written into the file-name buffer when chosen
    unsigned long extraFlags;  // flags the dialog adds on return (e.g. 0x400)
};

struct ScreenLog {
    std::vector<ShownBox> boxes;
    std::deque<int> answers;            // for Yes/No boxes; AnswerNo when empty
    std::vector<std::string> repaints;  // "window", "progress", "phase", in order
    std::map<int, bool> portMarks;      // port index -> checked, as last set
    std::vector<std::pair<int, bool>> markCalls;
    bool repeatEnabled = false;
    std::deque<DialogScript> dialogs;           // cancel when empty
    std::vector<unsigned long> dialogFlags;     // flags each dialog was shown with
    std::vector<VerifyDifference> differences;  // each one asked about, in order
};

extern ScreenLog Screen;

void ResetScreen();
int CountRepaints(const char* what);
// The indices of the ports marked now.
std::vector<int> MarkedPorts();

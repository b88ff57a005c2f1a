#include "support/operator_recorder.h"

#include <cstring>

#include "operator/operator.h"
#include "transfer/start.h"

ScreenLog Screen;

void ResetScreen() { Screen = ScreenLog(); }

int CountRepaints(const char* what) {
    int n = 0;
    for (const std::string& r : Screen.repaints) n += (r == what);
    return n;
}

std::vector<int> MarkedPorts() {
    std::vector<int> marked;
    for (const auto& m : Screen.portMarks)
        if (m.second) marked.push_back(m.first);
    return marked;
}

int ShowMessageBox(const char* text, const char* caption, unsigned style) {
    Screen.boxes.push_back(ShownBox{text, caption, style, FailureNone, 0, FileNoOperation, ""});
    if ((style & BoxButtonsMask) != BoxYesNo) return AnswerOk;
    if (Screen.answers.empty()) return AnswerNo;
    int answer = Screen.answers.front();
    Screen.answers.pop_front();
    return answer;
}

void ReportFailure(const Failure& failure, const char* text, const char* caption, unsigned style) {
    Screen.boxes.push_back(ShownBox{text, caption, style, failure.kind, failure.phase,
                                    failure.operation, failure.path ? failure.path : ""});
}

// As the window asks: the question is a box like any other.
int AskAboutDifference(const VerifyDifference& difference, const char* question) {
    Screen.differences.push_back(difference);
    return ShowMessageBox(question, CaptionWarning, VerifyQuestionStyle);
}

void RepaintWindow() { Screen.repaints.push_back("window"); }
void RepaintProgress() { Screen.repaints.push_back("progress"); }
void RepaintPhase() { Screen.repaints.push_back("phase"); }

void SetPortMark(int portIndex, bool checked) {
    Screen.portMarks[portIndex] = checked;
    Screen.markCalls.push_back({portIndex, checked});
}

void EnableRepeatItem() { Screen.repeatEnabled = true; }

FileChoice ShowFileDialog(unsigned long flags, unsigned long* flagsOut, unsigned* extensionOffset) {
    Screen.dialogFlags.push_back(flags);
    if (Screen.dialogs.empty()) return FileNotChosen;
    DialogScript script = Screen.dialogs.front();
    Screen.dialogs.pop_front();
    if (!script.choose) return FileNotChosen;
    std::strncpy(DialogFileName, script.path.c_str(), sizeof DialogFileName - 1);
    DialogFileName[sizeof DialogFileName - 1] = '\0';
    // Like the common dialog: the offset of the text after the last dot of
    // the file name, or of the terminator when there is none.
    const char* name = DialogFileName;
    const char* slash = std::strrchr(name, '/');
    const char* base = slash ? slash + 1 : name;
    const char* dot = std::strrchr(base, '.');
    *extensionOffset = dot ? unsigned(dot + 1 - name) : unsigned(std::strlen(name));
    *flagsOut = flags | script.extraFlags;
    return FileChosen;
}

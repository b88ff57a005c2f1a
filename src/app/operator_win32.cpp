// The operator seam over the main window: boxes, repaints and menu changes that
// the transfer and port logic ask for. The dialog is in file_dialog.cpp.
#include "app/shell.h"
#include "operator/operator.h"

// Before the window exists the box has no owner.
int ShowMessageBox(const char* text, const char* caption, unsigned style) {
    return MessageBoxA(MainWindow, text, caption, style);
}

// The window shows a failure as any other box: the kind is for front ends
// without boxes.
void ReportFailure(const Failure&, const char* text, const char* caption, unsigned style) {
    ShowMessageBox(text, caption, style);
}

int AskAboutDifference(const VerifyDifference&, const char* question) {
    return ShowMessageBox(question, CaptionWarning, VerifyQuestionStyle);
}

// Invalidated with erase: the whole client area, the progress strip, the phase strip.
void RepaintWindow() { InvalidateRect(MainWindow, 0, TRUE); }
void RepaintProgress() { InvalidateRect(MainWindow, &ProgressRect, TRUE); }
void RepaintPhase() { InvalidateRect(MainWindow, &PhaseRect, TRUE); }

namespace {

// The port menu holds "&Auto" at position 0, so port i sits at i + 1.
int PortItemPosition(int portIndex) { return portIndex + 1; }

}  // namespace

void SetPortMark(int portIndex, bool checked) {
    HMENU portMenu = GetSubMenu(MenuBar, PortMenuPosition);
    CheckMenuItem(portMenu, PortItemPosition(portIndex),
                  MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void EnableRepeatItem() {
    HMENU actionsMenu = GetSubMenu(MenuBar, ActionsMenuPosition);
    EnableMenuItem(actionsMenu, RepeatItemPosition, MF_BYPOSITION | MF_ENABLED);
}

// The screen seam over the main window: boxes, repaints and menu changes that
// the transfer and port logic ask for.
#include "app/screen.h"
#include "app/shell.h"

// Before the window exists the box has no owner.
int ShowMessageBox(const char* text, const char* caption, unsigned style) {
    return MessageBoxA(MainWindow, text, caption, style);
}

void RepaintWindow() { InvalidateRect(MainWindow, 0, TRUE); }
void RepaintProgress() { InvalidateRect(MainWindow, &ProgressRect, TRUE); }
void RepaintPhase() { InvalidateRect(MainWindow, &PhaseRect, TRUE); }

void SetPortMark(int position, bool checked) {
    HMENU portMenu = GetSubMenu(MenuBar, PortMenuPosition);
    CheckMenuItem(portMenu, position, MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void EnableRepeatItem() {
    HMENU actionsMenu = GetSubMenu(MenuBar, ActionsMenuPosition);
    EnableMenuItem(actionsMenu, 0, MF_BYPOSITION | MF_ENABLED);
}

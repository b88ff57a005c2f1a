// The window procedure of the main window: one line per message it handles.
#include "app/shell.h"
#include "transfer/transfer.h"

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_SIZE: InvalidateRect(window, 0, FALSE); return 0;
    case WM_PAINT: return OnPaint(window);
    case WM_CHAR: return OnChar(window, wParam);
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_MENUSELECT: return OnMenuSelect(wParam, lParam);
    case WM_USER:
        // The pump message carries the phase it was posted for.
        if (LOWORD(wParam) <= PhaseBlockDone) StepTransfer(LOWORD(wParam));
        return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

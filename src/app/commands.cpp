// The commands of the menus and the two keys.
#include <io.h>

#include "app/action_commands.h"
#include "app/port_commands.h"
#include "app/shell.h"
#include "transfer/start.h"
#include "transfer/transfer.h"

namespace {

const char HelpFile[] = "Selvo.hlp";
const char HelpMissingText[] = "Plik pomocy nie jest na razie dostępny !";
const char HelpMissingCaption[] = "Brak dostępu !";
const char AboutCaption[] = "O programie :";
const char AboutText[] =
    "Program komunikacyjny Dm730 Selvo, wersja " SELVO_VERSION "\n"
    "Zapis, odczyt i weryfikacja pamięci sterownika oświetlenia Dm730 Selvo.\n"
    "\n"
    "Wolne oprogramowanie na licencji MIT (plik LICENSE.txt obok programu) :\n"
    "wolno je używać, kopiować, zmieniać i rozpowszechniać.\n"
    "Przewodnik : plik CZYTAJ.TXT obok programu.";

const int KeyEscape = 27;

void ShowHelp(HWND window) {
    if (_access(HelpFile, 0) == 0)
        WinHelpA(window, HelpFile, HELP_CONTENTS, 0);
    else
        MessageBoxA(window, HelpMissingText, HelpMissingCaption, MB_ICONINFORMATION);
}

void ChooseDisplayFont(HWND window) {
    CHOOSEFONTA cf = {};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = window;
    cf.lpLogFont = &DisplayFont;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
    ChooseFontA(&cf);  // on cancel the font simply stays
    InvalidateRect(window, 0, TRUE);
}

}  // namespace

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    int id = LOWORD(wParam);
    switch (id) {
    case CmdHelp: ShowHelp(window); return 0;
    case CmdAbout:
        MessageBoxA(window, AboutText, AboutCaption, MB_ICONINFORMATION | MB_OK);
        return 0;
    case CmdReadFromDevice: RunActionCommand(ActionReadFromDevice); return 0;
    case CmdWriteToDevice: RunActionCommand(ActionWriteToDevice); return 0;
    case CmdVerify: RunActionCommand(ActionVerify); return 0;
    case CmdStop: StopTransfer(); return 0;
    case CmdExit: SendMessageA(window, WM_CLOSE, 0, 0); return 0;
    case CmdRepeat: RepeatTransfer(); return 0;
    case CmdFont: ChooseDisplayFont(window); return 0;
    case CmdPortAuto: RunPortAuto(); return 0;
    }
    if (id <= CmdPortAuto) return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
    // An id past the last port (sent by another program, say) is ignored there.
    RunPortChoice(id - CmdPortFirst);
    return 0;
}

// Esc stops the transfer; every character repaints the whole window.
LRESULT OnChar(HWND window, WPARAM wParam) {
    if (LOWORD(wParam) == KeyEscape) SendMessageA(window, WM_COMMAND, CmdStop, 0);
    InvalidateRect(window, 0, TRUE);
    return 0;
}

// The menu tree, built at run time, and the data kind that follows the menu
// selection.
#include <cstring>

#include "app/shell.h"
#include "serial/port_table.h"
#include "transfer/transfer.h"

HMENU MenuBar;
HMENU ChoiceMenu;

namespace {

// Every item is appended whatever happened to the one before; one failure
// anywhere fails the whole menu.
BOOL AppendItem(HMENU menu, UINT flags, UINT_PTR idOrPopup, const char* text) {
    return AppendMenuA(menu, flags, idOrPopup, text);
}

BOOL AppendPopup(HMENU menu, HMENU popup, const char* text) {
    return AppendItem(menu, MF_POPUP, (UINT_PTR)popup, text);
}

BOOL AppendSeparator(HMENU menu) { return AppendItem(menu, MF_SEPARATOR, 0, ""); }

BOOL FillMenuBar(HMENU menu) {
    BOOL ok = TRUE;
    ok &= AppendPopup(menu, BuildMenu("Akcje"), "&Akcja");
    ok &= AppendPopup(menu, BuildMenu("Port"), "&Wybór portu");
    ok &= AppendPopup(menu, BuildMenu("Pomoc"), "Po&moc");
    return ok;
}

BOOL FillActionsMenu(HMENU menu) {
    BOOL ok = TRUE;
    ok &= AppendItem(menu, MF_GRAYED, CmdRepeat, "P&owtórz");
    ok &= AppendSeparator(menu);
    ok &= AppendPopup(menu, ChoiceMenu, "&Program");
    ok &= AppendPopup(menu, ChoiceMenu, "&Biblioteki skanerów");
    ok &= AppendPopup(menu, ChoiceMenu, "Sceny &użytkownika");
    ok &= AppendSeparator(menu);
    ok &= AppendItem(menu, 0, CmdStop, "&Zatrzymaj");
    ok &= AppendSeparator(menu);
    ok &= AppendItem(menu, 0, CmdFont, "&Czcionka");
    ok &= AppendSeparator(menu);
    ok &= AppendItem(menu, 0, CmdExit, "&Koniec pracy");
    return ok;
}

BOOL FillChoiceMenu(HMENU menu) {
    BOOL ok = TRUE;
    ok &= AppendItem(menu, 0, CmdWriteToDevice, "&Zapis do Dm730");
    ok &= AppendItem(menu, 0, CmdReadFromDevice, "&Odczyt z Dm730");
    ok &= AppendItem(menu, 0, CmdVerify, "&Weryfikacja");
    return ok;
}

BOOL FillPortMenu(HMENU menu) {
    BOOL ok = AppendItem(menu, 0, CmdPortAuto, "&Auto");
    for (int i = 0; PortTable && PortTable[i][0]; ++i)
        ok &= AppendItem(menu, 0, CmdPortFirst + i, PortTable[i]);
    return ok;
}

BOOL FillHelpMenu(HMENU menu) {
    BOOL ok = TRUE;
    ok &= AppendItem(menu, 0, CmdHelp, "Opis &Programu");
    ok &= AppendItem(menu, 0, CmdAbout, "&O programie");
    return ok;
}

}  // namespace

HMENU BuildMenu(const char* name) {
    HMENU menu = CreateMenu();
    if (!menu) return 0;
    BOOL ok;
    if (std::strcmp(name, "Selvo<->PC") == 0)
        ok = FillMenuBar(menu);
    else if (std::strcmp(name, "Akcje") == 0)
        ok = FillActionsMenu(menu);
    else if (std::strcmp(name, "Wybór") == 0)
        ok = FillChoiceMenu(menu);
    else if (std::strcmp(name, "Port") == 0)
        ok = FillPortMenu(menu);
    else if (std::strcmp(name, "Pomoc") == 0)
        ok = FillHelpMenu(menu);
    else
        ok = FALSE;
    if (!ok) {
        DestroyMenu(menu);
        return 0;
    }
    return menu;
}

// Highlighting a data-kind item of the actions menu chooses the kind; for an
// item that opens a popup the low word is the item's position.
LRESULT OnMenuSelect(WPARAM wParam, LPARAM lParam) {
    HMENU menu = (HMENU)lParam;
    if (!menu || menu != GetSubMenu(MenuBar, ActionsMenuPosition)) return 0;
    switch (LOWORD(wParam)) {
    case FirmwareItemPosition: TransferJob.kind = KindFirmware; break;
    case LibrariesItemPosition: TransferJob.kind = KindLibraries; break;
    case ScenesItemPosition: TransferJob.kind = KindScenes; break;
    }
    return 0;
}

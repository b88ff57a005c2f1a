// The Win32 shell of the program: the one window, its menus and its display.
#pragma once
#include <windows.h>
#include <commdlg.h>

extern HINSTANCE ProgramInstance;
extern HWND MainWindow;  // none until the window is created

// The menu bar and the one choice popup that the actions menu holds three
// times. The actions, port and help menus are the bar's popups.
extern HMENU MenuBar;
extern HMENU ChoiceMenu;
const int ActionsMenuPosition = 0;
const int PortMenuPosition = 1;
const int HelpMenuPosition = 2;
// Positions in the actions menu: the repeat item, and the three data-kind
// items, each opening the choice popup.
const int RepeatItemPosition = 0;
const int FirmwareItemPosition = 2;
const int LibrariesItemPosition = 3;
const int ScenesItemPosition = 4;

// Command ids of the menu items.
const int CmdHelp = 100;
const int CmdAbout = 101;
const int CmdReadFromDevice = 102;
const int CmdWriteToDevice = 103;
const int CmdVerify = 104;
const int CmdStop = 105;
const int CmdExit = 106;
const int CmdRepeat = 107;
const int CmdFont = 108;
const int CmdPortAuto = 200;
const int CmdPortFirst = 201;

// "Wybór" (the choice popup), "Selvo<->PC" (the bar and, through it, "Akcje",
// "Port" and "Pomoc"). None when the name is unknown or an item failed.
HMENU BuildMenu(const char* name);

// The status display: the picture behind the text, the font of the text and
// the two strips the transfer repaints (all zero before the first paint).
extern HBITMAP BackgroundPicture;
extern LOGFONTA DisplayFont;
extern RECT ProgressRect;
extern RECT PhaseRect;

// The open-file dialog record shared by every transfer start.
extern OPENFILENAMEA FileDialogSetup;
void FillFileDialogSetup();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnMenuSelect(WPARAM wParam, LPARAM lParam);
LRESULT OnChar(HWND window, WPARAM wParam);
LRESULT OnPaint(HWND window);

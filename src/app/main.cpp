// Process entry: start-up, the message loop that clocks the transfer, shutdown.
#include <cstring>

#include "app/shell.h"
#include "serial/port_open.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"
#include "transfer/transfer.h"

HINSTANCE ProgramInstance;
HWND MainWindow;

namespace {

const char ClassName[] = "Selvo<->PC";
const char WindowTitle[] = "Program komunikacyjny Dm730 Selvo";
const char NoPortsText[] = "Brak dostępnych portów szeregowych";
const char NoPortsCaption[] = "Klęska !";

// A run that ended before its window could work: no serial port, or no window.
const int ExitNotStarted = -1;

const int ClassIconId = 2;
const int SmallIconId = 3;
const int PictureId = 4;
const COLORREF BackgroundColour = RGB(241, 245, 247);
const DWORD MainWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

}  // namespace

// The three-dimensional dialog look of old Windows. The library is gone from
// current systems, so it is never imported: it is taken from the system
// directory when it is there (never from the working directory) and skipped
// otherwise.
typedef BOOL(WINAPI* Ctl3dCall)(HANDLE);
namespace {

HMODULE Ctl3dLibrary;

void RegisterCtl3d() {
    char path[MAX_PATH + 16];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    std::strcat(path, "\\CTL3D32.DLL");
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
    Ctl3dLibrary = LoadLibraryA(path);
    if (!Ctl3dLibrary) return;
    Ctl3dCall reg = (Ctl3dCall)(void*)GetProcAddress(Ctl3dLibrary, "Ctl3dRegister");
    if (reg) reg(ProgramInstance);
}

void UnregisterCtl3d() {
    if (!Ctl3dLibrary) return;
    Ctl3dCall unreg = (Ctl3dCall)(void*)GetProcAddress(Ctl3dLibrary, "Ctl3dUnregister");
    if (unreg) unreg(ProgramInstance);
    FreeLibrary(Ctl3dLibrary);
    Ctl3dLibrary = 0;
}

void RegisterMainClass(HINSTANCE instance) {
    WNDCLASSEXA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(ClassIconId));
    wc.hCursor = LoadCursorA(0, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(BackgroundColour);
    wc.lpszMenuName = ClassName;  // no such menu resource: the bar comes from SetMenu
    wc.lpszClassName = ClassName;
    wc.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(SmallIconId));
    RegisterClassExA(&wc);
}

// After a step that moved the transfer on, the next phase message goes out at
// once, ahead of the repaint that step asked for: a reply has just come in, and
// the device's next frame should not wait for a paint. A paint then falls into
// the next wait for the line. At most a block's worth of steps in a row; then
// the operator's input and the paint have their turn, so the window still
// repaints and answers on a line that never keeps the transfer waiting.
const int StepsAheadOfPaint = 6;

// A step that found its reply still on the way first gives the line this long
// alone. A reply that follows its request at once (a command's, the
// identification) comes within it and is taken ahead of the paint as well:
// painting first would hold the device up for as long as the reply takes. A
// reply that takes a data frame's time leaves the paint all of that time.
const unsigned PromptReplyMs = 5;

// Whether the step just handled is followed at once by the next; after a
// step that found its reply on the way, this is where the line gets its moment.
bool PostAheadOfPaint(const MSG& handled, int postedAhead) {
    if (handled.message != WM_USER || handled.hwnd != MainWindow ||
        TransferJob.phase == PhaseIdle || postedAhead >= StepsAheadOfPaint)
        return false;
    return !StepFoundPending() || WaitForChannel(PromptReplyMs, WakeForLine) == WaitEndedByLine;
}

// Idle, the loop sleeps in WaitMessage until the operator or the system does
// something. While a transfer runs it posts the phase whenever the queue runs
// dry, one step per message. After a step that found its operation still on
// the line it first sleeps, briefly, until the line moves or a message comes:
// spinning there would only take the processor from the far end of the line.
WPARAM RunMessageLoop() {
    MSG msg;
    int postedAhead = 0;
    for (;;) {
        if (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return msg.wParam;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            if (PostAheadOfPaint(msg, postedAhead)) {
                PostMessageA(MainWindow, WM_USER, (WPARAM)TransferJob.phase, 0);
                ++postedAhead;
            }
        } else if (TransferJob.phase == PhaseIdle) {
            WaitMessage();
        } else {
            if (StepFoundPending()) WaitForChannel(ChannelWaitLimitMs, WakeForLineOrMessage);
            PostMessageA(MainWindow, WM_USER, (WPARAM)TransferJob.phase, 0);
            postedAhead = 0;
        }
    }
}

void ShutDown() {
    DestroyMenu(MenuBar);
    FreePortTable();
    if (BackgroundPicture) DeleteObject(BackgroundPicture);
    CloseChannel();
    CloseChannelEvents();
    UnregisterCtl3d();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    BackgroundPicture = LoadBitmapA(instance, MAKEINTRESOURCEA(PictureId));
    RegisterMainClass(instance);
    ProgramInstance = instance;
    FillFileDialogSetup();

    BuildPortTable();
    if (IsPortTableEmpty()) {
        MessageBoxA(0, NoPortsText, NoPortsCaption, MB_ICONWARNING | MB_OK);
        return ExitNotStarted;
    }
    CreateChannelEvents();
    RegisterCtl3d();

    ChoiceMenu = BuildMenu("Wybór");
    MenuBar = BuildMenu(ClassName);
    DisplayFont.lfPitchAndFamily = 0;
    std::strcpy(DisplayFont.lfFaceName, "Fixedsys");

    MainWindow = CreateWindowExA(0, ClassName, WindowTitle, MainWindowStyle, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, instance, 0);
    // Without a window no quit message could ever arrive: end instead of
    // waiting forever unseen.
    if (!MainWindow) {
        ShutDown();
        return ExitNotStarted;
    }
    FileDialogSetup.hwndOwner = MainWindow;
    SetMenu(MainWindow, MenuBar);
    ShowWindow(MainWindow, showCommand);

    if (DetectDevice() == NoDeviceFound) ShowDeviceNotFound();

    WPARAM exitCode = RunMessageLoop();
    ShutDown();
    return (int)exitCode;
}

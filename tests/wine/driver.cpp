// Drives Selvo.exe from another process the way an operator would: menu messages, the file
// dialog, message boxes, keys, the font dialog and the close button. Each step is one argument
// (or an argument with its values) and prints one line that a test can check; every wait is
// bounded and a step that times out prints "timeout ..." and ends the driver with code 1.
//
// Texts are read as Unicode and printed as UTF-8, so a program that showed its texts in the
// wrong code page fails the comparison. Line breaks inside a text print as the two characters \n.
//
// Steps:
//   find                 wait for the main window (class "Selvo<->PC"), print its title
//   idle                 wait until the main window's thread handles messages, then report
//                        whether a message box is open and whether the window is enabled
//   select MENU POS      WM_MENUSELECT for item POS of menu MENU (a handle, from the relay trace)
//   command ID           post WM_COMMAND ID to the main window
//   char CODE            post WM_CHAR CODE to the main window (27 is Esc)
//   file PATH            fill the file dialog with PATH (a Unix path becomes Z:\...) and
//                        press its OK button
//   cancel-file          press Cancel in the file dialog
//   box BUTTON           wait for a message box, print caption, text, buttons and the default
//                        button, then press BUTTON (ok, yes, no, cancel or none)
//   font SIZE [FACE]     in the font dialog choose FACE (if given) and SIZE, press OK
//   nowindow             check at once that no main window exists
//   close                post WM_CLOSE to the main window
//   gone                 wait until the main window no longer exists
//   timeout SECONDS      bound for the following waits (default 20)
//   hold PATH SECONDS    open PATH as another program holding it would (reading, shared for
//                        reading and writing, not for deleting or renaming), print "held PATH",
//                        keep it open SECONDS, then close it and print "released PATH"
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HWND mainWindow;
DWORD waitLimitMs = 20000;

void PrintLine(const std::string& line) {
    std::string out = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), (DWORD)out.size(), &written, nullptr);
}

std::string Utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\n') {
            out += "\\n";
            continue;
        }
        if (c == L'\r') {
            out += "\\r";
            continue;
        }
        if (c == L'"') {
            out += "\\\"";
            continue;
        }
        char buf[8];
        int n = WideCharToMultiByte(CP_UTF8, 0, &c, 1, buf, sizeof buf, nullptr, nullptr);
        out.append(buf, n > 0 ? n : 0);
    }
    return out;
}

std::wstring Wide(const char* utf8) {
    wchar_t buf[1024];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buf, 1024);
    return n > 0 ? std::wstring(buf) : std::wstring();
}

// A Unix path as Wine's drive Z: shows it; any other text is left as it is.
std::wstring WindowsPath(const char* path) {
    std::wstring w = Wide(path);
    if (w.empty() || w[0] != L'/') return w;
    for (auto& c : w)
        if (c == L'/') c = L'\\';
    return L"Z:" + w;
}

std::wstring WindowTextOf(HWND w) {
    wchar_t buf[1024] = L"";
    GetWindowTextW(w, buf, 1024);
    return buf;
}

std::string Hex(const void* h) {
    char buf[32];
    snprintf(buf, sizeof buf, "0x%llx", (unsigned long long)(UINT_PTR)h);
    return buf;
}

// Polls pred every 20 ms until it holds or the bound has passed.
template <typename Pred>
bool WaitFor(Pred pred) {
    DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start > waitLimitMs) return false;
        Sleep(20);
    }
}

struct DialogSearch {
    int wantControl;  // a control the dialog must have
    HWND found;
};

BOOL CALLBACK FindDialog(HWND w, LPARAM param) {
    DialogSearch* s = (DialogSearch*)param;
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId()) return TRUE;
    if (GetDlgItem(w, s->wantControl)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND DialogWith(int control) {
    DialogSearch s = {control, nullptr};
    EnumWindows(FindDialog, (LPARAM)&s);
    return s.found;
}

// A message box's text is the static control 0xFFFF.
HWND MessageBoxWindow() { return DialogWith(0xFFFF); }

// The file-name box of the file dialog: a combo box (0x47C) in the Explorer style, an edit
// (0x480) in the old style that Wine shows without OFN_EXPLORER.
HWND FileDialogWindow(HWND* nameBox) {
    for (int id : {0x47C, 0x480}) {
        HWND d = DialogWith(id);
        if (d) {
            *nameBox = GetDlgItem(d, id);
            return d;
        }
    }
    return nullptr;
}

bool FindMain() {
    mainWindow = FindWindowA("Selvo<->PC", nullptr);
    return mainWindow && IsWindowVisible(mainWindow);
}

int Fail(const std::string& what) {
    PrintLine("timeout " + what);
    return 1;
}

int StepFind() {
    if (!WaitFor(FindMain)) return Fail("find");
    PrintLine("window \"" + Utf8(WindowTextOf(mainWindow)) + "\"");
    return 0;
}

bool NeedMain() { return mainWindow || WaitFor(FindMain); }

int StepIdle() {
    if (!NeedMain()) return Fail("idle");
    // The thread answers only from a message loop: its own or a modal one. A box shown before
    // the loop is created before its modal loop answers, so what we see next is settled.
    DWORD_PTR result;
    if (!SendMessageTimeoutW(mainWindow, WM_NULL, 0, 0, SMTO_NORMAL, waitLimitMs, &result))
        return Fail("idle");
    HWND box = MessageBoxWindow();
    std::string line = "idle box=";
    line += box ? "\"" + Utf8(WindowTextOf(box)) + "\"" : "none";
    line += IsWindowEnabled(mainWindow) ? " enabled" : " disabled";
    PrintLine(line);
    return 0;
}

int StepSelect(const char* menu, const char* pos) {
    if (!NeedMain()) return Fail("select");
    HMENU m = (HMENU)(UINT_PTR)strtoull(menu, nullptr, 0);
    UINT p = (UINT)atoi(pos);
    DWORD_PTR result;
    if (!SendMessageTimeoutW(mainWindow, WM_MENUSELECT, MAKEWPARAM(p, MF_POPUP | MF_HILITE),
                             (LPARAM)m, SMTO_NORMAL, waitLimitMs, &result))
        return Fail("select");
    PrintLine("select " + Hex(m) + " " + std::to_string(p));
    return 0;
}

int StepPost(UINT message, const char* arg, const char* name) {
    if (!NeedMain()) return Fail(name);
    WPARAM w = (WPARAM)strtoul(arg, nullptr, 0);
    PostMessageW(mainWindow, message, w, 0);
    PrintLine(std::string(name) + " " + std::to_string((unsigned long)w));
    return 0;
}

int StepFile(const char* path, bool cancel) {
    HWND nameBox = nullptr;
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = FileDialogWindow(&nameBox)) != nullptr; }))
        return Fail("file dialog");
    std::string title = Utf8(WindowTextOf(dialog));
    if (cancel) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        PrintLine("file dialog \"" + title + "\" cancelled");
    } else {
        std::wstring w = WindowsPath(path);
        DWORD_PTR result;
        SendMessageTimeoutW(nameBox, WM_SETTEXT, 0, (LPARAM)w.c_str(), SMTO_NORMAL, waitLimitMs,
                            &result);
        // Posted, not sent: OK may open a question of the dialog's own (the create prompt).
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        PrintLine("file dialog \"" + title + "\" " + path);
    }
    // The dialog is gone, or it answers with a box of its own (e.g. the create prompt).
    if (!WaitFor(
            [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog) || MessageBoxWindow(); }))
        return Fail("file dialog close");
    return 0;
}

int ButtonId(const char* name) {
    if (!strcmp(name, "ok")) return IDOK;
    if (!strcmp(name, "yes")) return IDYES;
    if (!strcmp(name, "no")) return IDNO;
    if (!strcmp(name, "cancel")) return IDCANCEL;
    return 0;
}

int StepBox(const char* button) {
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = MessageBoxWindow()) != nullptr; })) return Fail("box");
    std::string buttons;
    static const struct {
        int id;
        const char* name;
    } kButtons[] = {{IDOK, "ok"}, {IDCANCEL, "cancel"}, {IDYES, "yes"}, {IDNO, "no"}};
    for (auto& b : kButtons) {
        HWND c = GetDlgItem(box, b.id);
        if (c && IsWindowVisible(c)) buttons += std::string(buttons.empty() ? "" : ",") + b.name;
    }
    // The default button is the one drawn as such (BS_DEFPUSHBUTTON).
    std::string defName = "none";
    for (auto& b : kButtons) {
        HWND c = GetDlgItem(box, b.id);
        if (c && IsWindowVisible(c) && (GetWindowLongW(c, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
            defName = b.name;
    }
    wchar_t text[1024] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    HWND owner = GetWindow(box, GW_OWNER);
    char ownerClass[64] = "";
    if (owner) GetClassNameA(owner, ownerClass, sizeof ownerClass);
    PrintLine("box caption=\"" + Utf8(WindowTextOf(box)) + "\" text=\"" + Utf8(text) +
              "\" buttons=" + buttons + " default=" + defName + " owner=" +
              (!owner                              ? "none"
               : !strcmp(ownerClass, "Selvo<->PC") ? "main"
                                                   : "other"));
    int id = ButtonId(button);
    if (id) {
        PostMessageW(box, WM_COMMAND, id, 0);
        if (!WaitFor([&] { return !IsWindow(box); })) return Fail("box close");
    }
    return 0;
}

// Chooses the list item TEXT of a combo box of a dialog the way a click would: select it and
// tell the dialog. Returns false when the list has no such item.
bool PickComboItem(HWND dialog, int id, const std::wstring& text) {
    HWND combo = GetDlgItem(dialog, id);
    DWORD_PTR index = (DWORD_PTR)CB_ERR;
    SendMessageTimeoutW(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text.c_str(), SMTO_NORMAL,
                        waitLimitMs, &index);
    if ((LRESULT)index == CB_ERR) return false;
    DWORD_PTR result;
    SendMessageTimeoutW(combo, CB_SETCURSEL, index, 0, SMTO_NORMAL, waitLimitMs, &result);
    SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)combo,
                        SMTO_NORMAL, waitLimitMs, &result);
    return true;
}

// The font dialog: face list 0x470 (cmb1), size box 0x472 (cmb3).
int StepFont(const char* size, const char* face) {
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = DialogWith(0x472)) != nullptr; }))
        return Fail("font dialog");
    if (*face && !PickComboItem(dialog, 0x470, Wide(face))) {
        std::string faces;
        HWND list = GetDlgItem(dialog, 0x470);
        LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
        for (LRESULT k = 0; k < count && k < 40; ++k) {
            wchar_t item[128] = L"";
            if (SendMessageW(list, CB_GETLBTEXTLEN, k, 0) < 128)
                SendMessageW(list, CB_GETLBTEXT, k, (LPARAM)item);
            faces += (k ? ", " : "") + Utf8(item);
        }
        PrintLine("font dialog has no face \"" + std::string(face) + "\" (has " + faces + ")");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return 1;
    }
    std::wstring w = Wide(size);
    if (!PickComboItem(dialog, 0x472, w)) {
        DWORD_PTR result;
        SendMessageTimeoutW(GetDlgItem(dialog, 0x472), WM_SETTEXT, 0, (LPARAM)w.c_str(),
                            SMTO_NORMAL, waitLimitMs, &result);
    }
    wchar_t shown[128] = L"";
    GetDlgItemTextW(dialog, 0x470, shown, 128);
    wchar_t shownSize[16] = L"";
    GetDlgItemTextW(dialog, 0x472, shownSize, 16);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    PrintLine("font dialog face=\"" + Utf8(shown) + "\" size=" + Utf8(shownSize));
    if (!WaitFor([&] { return !IsWindow(dialog); })) return Fail("font dialog close");
    return 0;
}

int StepGone() {
    HWND w = mainWindow ? mainWindow : FindWindowA("Selvo<->PC", nullptr);
    if (!WaitFor([&] { return !w ? true : !IsWindow(w); })) return Fail("gone");
    PrintLine("gone");
    return 0;
}

bool IsStepName(const std::string& s) {
    for (const char* n : {"find", "idle", "select", "command", "char", "file", "cancel-file", "box",
                          "font", "close", "gone", "timeout", "nowindow", "hold"})
        if (s == n) return true;
    return false;
}

int StepHold(const char* path, const char* seconds) {
    HANDLE file =
        CreateFileW(WindowsPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        PrintLine("cannot hold " + std::string(path) + ": error " + std::to_string(GetLastError()));
        return 1;
    }
    PrintLine("held " + std::string(path));
    Sleep((DWORD)(atof(seconds) * 1000));
    CloseHandle(file);
    PrintLine("released " + std::string(path));
    return 0;
}

// The arguments as UTF-8: argv would hold them in the ANSI code page (1250 here), which cannot
// carry every character of a path.
std::vector<std::string> Utf8Arguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i) {
        std::string a;
        for (const wchar_t* c = wide[i]; *c; ++c) {
            char buf[8];
            int n = WideCharToMultiByte(CP_UTF8, 0, c, 1, buf, sizeof buf, nullptr, nullptr);
            a.append(buf, n > 0 ? n : 0);
        }
        args.push_back(a);
    }
    LocalFree(wide);
    return args;
}

}  // namespace

int main() {
    std::vector<std::string> utf8Args = Utf8Arguments();
    std::vector<char*> argvStore;
    for (auto& a : utf8Args) argvStore.push_back(&a[0]);
    int argc = (int)argvStore.size();
    char** argv = argvStore.data();
    for (int i = 1; i < argc; ++i) {
        std::string step = argv[i];
        auto arg = [&](int k) -> const char* { return i + k < argc ? argv[i + k] : ""; };
        int rc = 0;
        if (step == "find")
            rc = StepFind();
        else if (step == "idle")
            rc = StepIdle();
        else if (step == "select") {
            rc = StepSelect(arg(1), arg(2));
            i += 2;
        } else if (step == "command") {
            rc = StepPost(WM_COMMAND, arg(1), "command");
            i += 1;
        } else if (step == "char") {
            rc = StepPost(WM_CHAR, arg(1), "char");
            i += 1;
        } else if (step == "file") {
            rc = StepFile(arg(1), false);
            i += 1;
        } else if (step == "cancel-file")
            rc = StepFile("", true);
        else if (step == "box") {
            rc = StepBox(arg(1));
            i += 1;
        } else if (step == "font") {
            // An optional face follows the size unless it is the next step's name.
            bool withFace = i + 2 < argc && !IsStepName(argv[i + 2]);
            rc = StepFont(arg(1), withFace ? arg(2) : "");
            i += withFace ? 2 : 1;
        } else if (step == "close") {
            rc = StepPost(WM_CLOSE, "0", "close");
        } else if (step == "gone")
            rc = StepGone();
        else if (step == "nowindow") {
            bool none = !FindWindowA("Selvo<->PC", nullptr);
            PrintLine(none ? "no window" : "window exists");
            rc = none ? 0 : 1;
        } else if (step == "hold") {
            rc = StepHold(arg(1), arg(2));
            i += 2;
        } else if (step == "timeout") {
            waitLimitMs = (DWORD)(atof(arg(1)) * 1000);
            i += 1;
        } else {
            PrintLine("unknown step " + step);
            rc = 2;
        }
        if (rc) return rc;
    }
    return 0;
}

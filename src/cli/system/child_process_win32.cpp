#include <windows.h>

#include "cli/system/child_process.h"

namespace {

struct Child {
    HANDLE process;
    HANDLE pipes[2];  // stdout, stderr; NULL once closed
    std::string pending[2];
    int exitCode;  // -1 while running
};
std::vector<Child> Children;

// A word of a command line as the C runtime of the child splits it back.
std::string Quoted(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
    std::string text = "\"";
    size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') backslashes = backslashes * 2 + 1;
        text.append(backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, '\\');
    return text + "\"";
}

// A child writes UTF-8 into its pipe, as into any file; the program's own
// texts are Windows-1250, and so its lines become.
std::string Cp1250FromUtf8(const std::string& utf8) {
    int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), NULL, 0);
    if (wide <= 0) return utf8;
    std::vector<wchar_t> text(static_cast<size_t>(wide));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), text.data(), wide);
    int narrow = WideCharToMultiByte(1250, 0, text.data(), wide, NULL, 0, NULL, NULL);
    std::string out(static_cast<size_t>(narrow > 0 ? narrow : 0), '\0');
    if (narrow > 0) WideCharToMultiByte(1250, 0, text.data(), wide, &out[0], narrow, NULL, NULL);
    return out;
}

void TakeLines(int child, int which, std::vector<ChildLine>* lines, bool atEnd) {
    size_t before = lines->size();
    TakeChildLines(&Children[size_t(child)].pending[which], child, which == 1, lines, atEnd);
    for (size_t i = before; i < lines->size(); ++i)
        (*lines)[i].text = Cp1250FromUtf8((*lines)[i].text);
}

void Reap(Child& child) {
    if (child.exitCode >= 0) return;
    DWORD code = 0;
    if (WaitForSingleObject(child.process, 0) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(child.process, &code))
        return;
    child.exitCode = int(code);
}

}  // namespace

std::string OwnProgramPath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    return n > 0 && n < sizeof path ? std::string(path, n) : "dm730.exe";
}

int StartChild(const std::string& program, const std::vector<std::string>& args) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE reads[2] = {NULL, NULL}, writes[2] = {NULL, NULL};
    for (int i = 0; i < 2; ++i) {
        if (!CreatePipe(&reads[i], &writes[i], &inherit, 0)) return -1;
        // Only the child's ends are inherited.
        SetHandleInformation(reads[i], HANDLE_FLAG_INHERIT, 0);
    }
    HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, NULL);
    std::string line = Quoted(program);
    for (const std::string& word : args) line += " " + Quoted(word);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = writes[0];
    startup.hStdError = writes[1];
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(program.c_str(), &line[0], NULL, NULL, TRUE, 0, NULL, NULL,
                                  &startup, &process);
    CloseHandle(writes[0]);
    CloseHandle(writes[1]);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) {
        CloseHandle(reads[0]);
        CloseHandle(reads[1]);
        return -1;
    }
    CloseHandle(process.hThread);
    Children.push_back(Child{process.hProcess, {reads[0], reads[1]}, {"", ""}, -1});
    return int(Children.size() - 1);
}

// Anonymous pipes cannot be waited on together: each is looked at without
// waiting, and the wait is a short sleep when none had anything.
bool ReadChildLines(std::vector<ChildLine>* lines, unsigned waitMs) {
    bool any = false;
    bool moved = false;
    for (size_t c = 0; c < Children.size(); ++c) {
        Child& child = Children[c];
        for (int which = 0; which < 2; ++which) {
            if (child.pipes[which] == NULL) continue;
            DWORD waiting = 0;
            if (!PeekNamedPipe(child.pipes[which], NULL, 0, NULL, &waiting, NULL)) {
                CloseHandle(child.pipes[which]);
                child.pipes[which] = NULL;
                TakeLines(int(c), which, lines, true);
                continue;
            }
            if (waiting == 0) continue;
            char buffer[4096];
            DWORD n = 0;
            if (ReadFile(child.pipes[which], buffer,
                         waiting < sizeof buffer ? waiting : sizeof buffer, &n, NULL) &&
                n > 0) {
                child.pending[which].append(buffer, n);
                TakeLines(int(c), which, lines, false);
                moved = true;
            }
        }
        Reap(child);
        any = any || child.exitCode < 0 || child.pipes[0] != NULL || child.pipes[1] != NULL;
    }
    if (!moved && any) Sleep(waitMs < 20 ? waitMs : 20);
    return any;
}

int ChildExitCode(int child) {
    if (child < 0 || size_t(child) >= Children.size()) return -1;
    Reap(Children[size_t(child)]);
    return Children[size_t(child)].exitCode;
}

// The children share the console and get its Ctrl-C themselves; a parent
// stopped otherwise has no way to hand it on but ending them.
void InterruptChildren() {
    for (Child& child : Children)
        if (child.exitCode < 0) TerminateProcess(child.process, 130);
}

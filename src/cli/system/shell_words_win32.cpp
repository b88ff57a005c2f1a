#include "cli/system/shell_words.h"

// cmd.exe and PowerShell both take a double-quoted word whole; a file name
// holds no double quote on Windows.
std::string ShellWord(const std::string& word) {
    bool plain = !word.empty() && word.find_first_of(" \t&|<>^()%!;,=\"'") == std::string::npos;
    return plain ? word : "\"" + word + "\"";
}

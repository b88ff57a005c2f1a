#include "cli/system/shell_words.h"

std::string ShellWord(const std::string& word) {
    bool plain = !word.empty();
    for (char c : word)
        plain =
            plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      std::string("_-./:=@%+,").find(c) != std::string::npos);
    if (plain) return word;
    // Inside single quotes only a single quote needs care: end, escape, begin.
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

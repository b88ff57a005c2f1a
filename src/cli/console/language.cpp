#include "cli/console/language.h"

#include <cstring>
#include <initializer_list>

namespace {

Language chosen = LanguagePolish;

bool StartsWith(const char* text, const char* start) {
    return std::strncmp(text, start, std::strlen(start)) == 0;
}

}  // namespace

Language ProgramLanguage() { return chosen; }

void UseLanguage(Language language) { chosen = language; }

bool LanguageOfWord(const char* word, Language* language) {
    if (std::strcmp(word, "pl") == 0)
        *language = LanguagePolish;
    else if (std::strcmp(word, "en") == 0)
        *language = LanguageEnglish;
    else
        return false;
    return true;
}

Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* setting = nullptr;
    for (const char* value : {lcAll, lcMessages, lang})
        if (value != nullptr && value[0] != '\0') {
            setting = value;
            break;
        }
    if (setting == nullptr || StartsWith(setting, "pl")) return LanguagePolish;
    if (std::strcmp(setting, "C") == 0 || std::strcmp(setting, "POSIX") == 0 ||
        StartsWith(setting, "C."))
        return LanguagePolish;
    return LanguageEnglish;
}

LanguageChoice ChooseLanguage(int argc, const char* const* argv, const char* variable) {
    const char* given = nullptr;
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--lang") == 0 && i + 1 < argc)
            given = argv[++i];
        else if (StartsWith(argv[i], "--lang="))
            given = argv[i] + 7;
    }
    Language language;
    if (given != nullptr && LanguageOfWord(given, &language)) {
        UseLanguage(language);
        return LanguageChosen;
    }
    bool variableSet = variable != nullptr && variable[0] != '\0';
    if (variableSet && LanguageOfWord(variable, &language)) {
        UseLanguage(language);
        return LanguageChosen;
    }
    UseLanguage(SystemLanguage());
    return variableSet ? LanguageVariableUnknown : LanguageChosen;
}

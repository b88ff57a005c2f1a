// Which language dm730 speaks. Polish unless the user chose otherwise: by
// --lang, by DM730_LANG, or by the system's own language setting.
#pragma once

enum Language { LanguagePolish = 0, LanguageEnglish = 1 };

Language ProgramLanguage();
void UseLanguage(Language language);

// "pl" or "en"; false for any other word.
bool LanguageOfWord(const char* word, Language* language);
// The locale rule of Linux: the first of LC_ALL, LC_MESSAGES, LANG that is set
// and not empty decides; Polish when none is, when it starts with "pl", or
// when it is the C library's own (C, POSIX, C.UTF-8), which nobody chooses to
// read English; English for any other.
Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang);
// What the system says the user reads: the locale variables on Linux, the
// user's interface language on Windows.
Language SystemLanguage();

enum LanguageChoice { LanguageChosen = 0, LanguageVariableUnknown };
// --lang (the last one given, before "--"), else DM730_LANG, else the system.
// A --lang with a word other than pl or en is left for the argument check to
// refuse; a DM730_LANG like that is passed over, and the outcome says so.
LanguageChoice ChooseLanguage(int argc, const char* const* argv, const char* variable);

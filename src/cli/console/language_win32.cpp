#include <windows.h>

#include "cli/console/language.h"

// The language of the user's menus and dialogs: the one a technician chose
// to read, whatever the formats of numbers and dates are set to.
Language SystemLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_POLISH ? LanguagePolish
                                                                    : LanguageEnglish;
}

#include <cstdlib>

#include "cli/console/language.h"

Language SystemLanguage() {
    return LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

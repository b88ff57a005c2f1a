// The message table and the choice of its language: every message in both
// languages, taking the same values, and the language the user asked for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/console/language.h"
#include "cli/console/messages.h"

namespace {

// The conversions of a printf format in order ("%-*s", "%lu", "%.*s"), "%%" left out.
std::vector<std::string> Conversions(const char* format) {
    std::vector<std::string> found;
    for (const char* c = format; *c != '\0'; ++c) {
        if (*c != '%') continue;
        std::string conversion = "%";
        for (++c; *c != '\0' && std::string("diouxXeEfgGcsp%").find(*c) == std::string::npos; ++c)
            conversion += *c;
        if (*c == '\0') {
            found.push_back(conversion + "<unfinished>");
            break;
        }
        if (*c == '%') continue;
        found.push_back(conversion + *c);
    }
    return found;
}

TEST(Messages, EveryMessageHasBothLanguagesTakingTheSameValues) {
    EXPECT_EQ(Conversions("%-*s  %lu%% %.*s %2x"),
              (std::vector<std::string>{"%-*s", "%lu", "%.*s", "%2x"}));
    for (int i = 0; i < MessageCount; ++i) {
        const MessageText& row = MessageTable[i];
        SCOPED_TRACE("message " + std::to_string(i) + ": " + (row.pl ? row.pl : "(null)"));
        // The table's order is the list's: Say(id) reads row id.
        ASSERT_EQ(int(row.id), i);
        ASSERT_NE(row.pl, nullptr);
        ASSERT_NE(row.en, nullptr);
        if (i == MsgNone) continue;
        EXPECT_NE(std::string(row.pl), "");
        EXPECT_NE(std::string(row.en), "");
        EXPECT_EQ(Conversions(row.pl), Conversions(row.en));
        // English in plain ASCII: no code page can garble it.
        for (const char* c = row.en; *c != '\0'; ++c)
            EXPECT_LT(static_cast<unsigned char>(*c), 0x80) << row.en;
        // A message that ends a line in one language ends it in the other.
        std::string pl = row.pl, en = row.en;
        EXPECT_EQ(pl.back() == '\n', en.back() == '\n') << row.en;
    }
}

TEST(Messages, SayPicksTheProgramsLanguage) {
    UseLanguage(LanguageEnglish);
    EXPECT_STREQ(Say(MsgResultDone), "done");
    EXPECT_EQ(SayFormatted(MsgBlockLine, 5, 512), "Block 5 of 512");
    EXPECT_STREQ(SayCount(1, MsgBlockOne, MsgBlockFew, MsgBlockMany), "block");
    EXPECT_STREQ(SayCount(3, MsgBlockOne, MsgBlockFew, MsgBlockMany), "blocks");
    UseLanguage(LanguagePolish);
    EXPECT_EQ(SayFormatted(MsgBlockLine, 5, 512), "Blok 5 z 512");
    EXPECT_STREQ(SayCount(3, MsgBlockOne, MsgBlockFew, MsgBlockMany), "bloki");
    EXPECT_STREQ(SayCount(13, MsgBlockOne, MsgBlockFew, MsgBlockMany), "bloków");
}

TEST(Language, TheLocaleDecidesUnlessTheUserChoseOtherwise) {
    const struct {
        const char *lcAll, *lcMessages, *lang;
        Language expected;
    } locales[] = {
        {nullptr, nullptr, nullptr, LanguagePolish},
        {"", "", "", LanguagePolish},
        {nullptr, nullptr, "pl_PL.UTF-8", LanguagePolish},
        {nullptr, nullptr, "pl", LanguagePolish},
        {nullptr, nullptr, "en_US.UTF-8", LanguageEnglish},
        {nullptr, nullptr, "de_DE.UTF-8", LanguageEnglish},
        // The C library's own locales are nobody's choice of English.
        {nullptr, nullptr, "C.UTF-8", LanguagePolish},
        {"C", nullptr, "en_US.UTF-8", LanguagePolish},
        {"POSIX", nullptr, nullptr, LanguagePolish},
        // The first that is set and not empty decides.
        {"pl_PL.UTF-8", "en_GB.UTF-8", "en_US.UTF-8", LanguagePolish},
        {"", "en_GB.UTF-8", "pl_PL.UTF-8", LanguageEnglish},
        {nullptr, "pl_PL.UTF-8", "en_US.UTF-8", LanguagePolish},
        {"en_IE.UTF-8", nullptr, "pl_PL.UTF-8", LanguageEnglish},
    };
    for (const auto& l : locales) {
        SCOPED_TRACE(std::string(l.lcAll ? l.lcAll : "-") + " " +
                     (l.lcMessages ? l.lcMessages : "-") + " " + (l.lang ? l.lang : "-"));
        EXPECT_EQ(LanguageOfLocale(l.lcAll, l.lcMessages, l.lang), l.expected);
    }

    // --lang before DM730_LANG before the system (here, the test's own locale).
    Language system = SystemLanguage();
    const struct {
        std::vector<const char*> argv;
        const char* variable;
        LanguageChoice choice;
        Language expected;
    } choices[] = {
        {{"dm730", "--help", "--lang", "en"}, "pl", LanguageChosen, LanguageEnglish},
        {{"dm730", "--lang=en", "--lang", "pl"}, "en", LanguageChosen, LanguagePolish},
        {{"dm730", "--lang=pl", "detect"}, "en", LanguageChosen, LanguagePolish},
        {{"dm730", "detect"}, "en", LanguageChosen, LanguageEnglish},
        {{"dm730", "detect"}, "pl", LanguageChosen, LanguagePolish},
        // A word that is no language: --lang is refused later, DM730_LANG passed over.
        {{"dm730", "--lang", "xx"}, "en", LanguageChosen, LanguageEnglish},
        {{"dm730", "detect"}, "german", LanguageVariableUnknown, system},
        {{"dm730", "detect"}, "", LanguageChosen, system},
        {{"dm730", "detect"}, nullptr, LanguageChosen, system},
        // After "--" a word is an operand, not an option.
        {{"dm730", "--", "--lang", "en"}, "pl", LanguageChosen, LanguagePolish},
    };
    for (const auto& c : choices) {
        SCOPED_TRACE(std::string(c.argv.back()) + " / " + (c.variable ? c.variable : "unset"));
        UseLanguage(c.expected == LanguagePolish ? LanguageEnglish : LanguagePolish);
        EXPECT_EQ(ChooseLanguage(int(c.argv.size()), c.argv.data(), c.variable), c.choice);
        EXPECT_EQ(ProgramLanguage(), c.expected);
    }
    UseLanguage(LanguagePolish);
}

}  // namespace

// The program's Windows-1250 texts as a UTF-8 terminal must get them, checked
// byte by byte against the system's own converter.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "cli/console_text.h"

namespace {

// glibc's iconv as the independent reference; "" for a byte it has no
// character for.
std::string ReferenceUtf8(unsigned char byte) {
    iconv_t cd = iconv_open("UTF-8", "CP1250");
    if (cd == (iconv_t)-1) return "iconv missing";
    char in[1] = {char(byte)};
    char out[8] = {};
    char* inp = in;
    char* outp = out;
    size_t inLeft = 1, outLeft = sizeof out;
    size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    return r == (size_t)-1 ? "" : std::string(out, sizeof out - outLeft);
}

TEST(ConsoleText, EveryByteOfWindows1250BecomesItsCharacter) {
    const std::string replacement = u8"\uFFFD";
    for (int b = 1; b < 256; ++b) {
        char text[2] = {char(b), 0};
        std::string reference = ReferenceUtf8((unsigned char)b);
        std::string expected = reference.empty() ? replacement : reference;
        EXPECT_EQ(Utf8FromCp1250(text), expected) << "byte " << b;
        // Alone, no byte of the high half starts a UTF-8 sequence that would be kept.
        EXPECT_EQ(Utf8FromMixedText(text), expected) << "byte " << b;
    }
}

TEST(ConsoleText, PolishTextsAndTheSystemsPaths) {
    struct Case {
        std::string text;  // as the program holds it (literals compile to Windows-1250)
        std::string utf8;
    };
    const Case programTexts[] = {
        {"ą ć ę ł ń ó ś ź ż Ą Ć Ę Ł Ń Ó Ś Ź Ż", u8"ą ć ę ł ń ó ś ź ż Ą Ć Ę Ł Ń Ó Ś Ź Ż"},
        {"Błąd weryfikacji : blok 897 poz. 5\n1, 2\nKontynuować ?",
         u8"Błąd weryfikacji : blok 897 poz. 5\n1, 2\nKontynuować ?"},
        {"Nie znalazłem Dm730 !\nPodłącz urządzenie",
         u8"Nie znalazłem Dm730 !\nPodłącz urządzenie"},
        {"Zapisywanie do Dm730 : dane użytkownika", u8"Zapisywanie do Dm730 : dane użytkownika"},
        {"Różnica : plik 1, Dm730 2 — pozostało 0:55, skanerów, bodów",
         u8"Różnica : plik 1, Dm730 2 — pozostało 0:55, skanerów, bodów"},
    };
    // Letters in a row, as no word has them, are for the plain conversion only.
    EXPECT_EQ(Utf8FromCp1250("ąćęłńóśźżĄĆĘŁŃÓŚŹŻ"), u8"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ");
    for (const Case& c : programTexts) {
        EXPECT_EQ(Utf8FromCp1250(c.text.c_str()), c.utf8);
        EXPECT_EQ(Utf8FromMixedText(c.text.c_str()), c.utf8) << "taken for UTF-8";
    }
    // A path from a Linux command line is UTF-8 already and stays as it is,
    // inside a text of the program.
    std::string composed = std::string("Plik ") + u8"/tmp/zażółć gęślą.usr" + " nie istnieje !";
    EXPECT_EQ(Utf8FromMixedText(composed.c_str()),
              std::string(u8"Plik /tmp/zażółć gęślą.usr nie istnieje !"));
    // Cut or malformed sequences are not UTF-8: each byte is Windows-1250.
    EXPECT_EQ(Utf8FromMixedText("\xC5"), u8"Ĺ");
    EXPECT_EQ(Utf8FromMixedText("\xE2\x82"), u8"â‚");
    EXPECT_EQ(Utf8FromMixedText("\xC0\x80"), u8"Ŕ€") << "overlong";
    EXPECT_EQ(Utf8FromMixedText("\xED\xA0\x80"), u8"í\u00A0€") << "surrogate";
}

}  // namespace

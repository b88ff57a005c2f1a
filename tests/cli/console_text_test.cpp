// The program's Windows-1250 texts as a UTF-8 terminal must get them, checked
// byte by byte against the system's own converter.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "cli/console/console_text.h"

namespace {

// glibc's iconv as the independent reference; U+FFFD where it has no character.
std::string ReferenceUtf8(unsigned char byte) {
    iconv_t cd = iconv_open("UTF-8", "CP1250");
    char in[1] = {char(byte)}, out[8] = {};
    char *inp = in, *outp = out;
    size_t inLeft = 1, outLeft = sizeof out;
    size_t r = cd == (iconv_t)-1 ? size_t(-1) : iconv(cd, &inp, &inLeft, &outp, &outLeft);
    if (cd != (iconv_t)-1) iconv_close(cd);
    return r == size_t(-1) ? u8"\uFFFD" : std::string(out, sizeof out - outLeft);
}

TEST(ConsoleText, EveryByteOfWindows1250BecomesItsCharacter) {
    for (int b = 1; b < 256; ++b) {
        char text[2] = {char(b), 0};
        EXPECT_EQ(Utf8FromCp1250(text), ReferenceUtf8((unsigned char)b)) << "byte " << b;
        // Alone, no byte starts a UTF-8 sequence that would be kept.
        EXPECT_EQ(Utf8FromMixedText(text), ReferenceUtf8((unsigned char)b)) << "byte " << b;
    }
    // Letters in a row, as no word has them: for the plain conversion only.
    EXPECT_EQ(Utf8FromCp1250("ąćęłńóśźżĄĆĘŁŃÓŚŹŻ"), u8"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ");
}

TEST(ConsoleText, TextsOfTheProgramWithTheSystemsPathsInThem) {
    // Left: as the program holds it (literals compile to Windows-1250), with a
    // Linux path inserted in UTF-8 where "%s" stands.
    const std::pair<std::string, std::string> cases[] = {
        {"ą ć ę ł ń ó ś ź ż Ą Ć Ę Ł Ń Ó Ś Ź Ż", u8"ą ć ę ł ń ó ś ź ż Ą Ć Ę Ł Ń Ó Ś Ź Ż"},
        {"Błąd weryfikacji : blok 897 poz. 5\n1, 2\nKontynuować ?",
         u8"Błąd weryfikacji : blok 897 poz. 5\n1, 2\nKontynuować ?"},
        {"Nie znalazłem Dm730 !\nPodłącz urządzenie",
         u8"Nie znalazłem Dm730 !\nPodłącz urządzenie"},
        {"Zapisywanie do Dm730 : dane użytkownika — pozostało 0:55, skanerów, bodów",
         u8"Zapisywanie do Dm730 : dane użytkownika — pozostało 0:55, skanerów, bodów"},
        {std::string("Plik ") + u8"/tmp/zażółć gęślą.usr" + " nie istnieje !",
         u8"Plik /tmp/zażółć gęślą.usr nie istnieje !"},
        // Cut or malformed sequences are not UTF-8: each byte is Windows-1250.
        {"\xE2\x82", u8"â‚"},
        {"\xC0\x80", u8"Ŕ€"},            // overlong
        {"\xED\xA0\x80", u8"í\u00A0€"},  // a surrogate
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8FromMixedText(c.first.c_str()), c.second);
}

}  // namespace

// The program's texts are Windows-1250 bytes; a terminal wants UTF-8.
#pragma once
#include <string>

// Every byte as Windows-1250; the five bytes it leaves undefined become U+FFFD.
std::string Utf8FromCp1250(const char* text);
// For texts that carry the system's own strings as well: a path given on a
// Linux command line, a port's description. Those are UTF-8 already, so a
// complete multi-byte UTF-8 sequence is kept; every other byte is
// Windows-1250. No text of the program forms such a sequence: it would take
// an accented capital followed by a letter from 0x80..0xBF ("ÓŚ" in a word
// written in capitals), or one of "ćęńó" followed by two or three of them.
std::string Utf8FromMixedText(const char* text);

// The form of a Polish noun after the number n: one (1 blok), few (2-4, 22-24,
// but 12-14: bloki) or many (bloków).
const char* PolishPlural(unsigned long n, const char* one, const char* few, const char* many);

// A text from a file anyone may have written (a manifest, a resume record)
// made safe for a terminal: every control character (C0, DEL, and C1 as
// UTF-8 writes it) as '?', and at most 40 bytes, never cutting a UTF-8
// character ("..." marks the cut).
std::string ShownText(const std::string& text);
// The same in double quotes, as file names from such a file are shown.
std::string QuotedText(const std::string& text);

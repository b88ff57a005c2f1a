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

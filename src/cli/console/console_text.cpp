#include "cli/console/console_text.h"

#include <cstdint>

namespace {

const uint16_t Replacement = 0xFFFD;

// Bytes 0x80..0xFF of Windows-1250.
const uint16_t HighHalf[128] = {
    0x20AC,      Replacement, 0x201A, Replacement, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    Replacement, 0x2030,      0x0160, 0x2039,      0x015A, 0x0164, 0x017D, 0x0179,  // 88
    Replacement, 0x2018,      0x2019, 0x201C,      0x201D, 0x2022, 0x2013, 0x2014,  // 90
    Replacement, 0x2122,      0x0161, 0x203A,      0x015B, 0x0165, 0x017E, 0x017A,  // 98
    0x00A0,      0x02C7,      0x02D8, 0x0141,      0x00A4, 0x0104, 0x00A6, 0x00A7,  // A0
    0x00A8,      0x00A9,      0x015E, 0x00AB,      0x00AC, 0x00AD, 0x00AE, 0x017B,  // A8
    0x00B0,      0x00B1,      0x02DB, 0x0142,      0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8,      0x0105,      0x015F, 0x00BB,      0x013D, 0x02DD, 0x013E, 0x017C,  // B8
    0x0154,      0x00C1,      0x00C2, 0x0102,      0x00C4, 0x0139, 0x0106, 0x00C7,  // C0
    0x010C,      0x00C9,      0x0118, 0x00CB,      0x011A, 0x00CD, 0x00CE, 0x010E,  // C8
    0x0110,      0x0143,      0x0147, 0x00D3,      0x00D4, 0x0150, 0x00D6, 0x00D7,  // D0
    0x0158,      0x016E,      0x00DA, 0x0170,      0x00DC, 0x00DD, 0x0162, 0x00DF,  // D8
    0x0155,      0x00E1,      0x00E2, 0x0103,      0x00E4, 0x013A, 0x0107, 0x00E7,  // E0
    0x010D,      0x00E9,      0x0119, 0x00EB,      0x011B, 0x00ED, 0x00EE, 0x010F,  // E8
    0x0111,      0x0144,      0x0148, 0x00F3,      0x00F4, 0x0151, 0x00F6, 0x00F7,  // F0
    0x0159,      0x016F,      0x00FA, 0x0171,      0x00FC, 0x00FD, 0x0163, 0x02D9,  // F8
};

void AppendUtf8(std::string& out, uint16_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

void AppendCp1250(std::string& out, unsigned char b) {
    AppendUtf8(out, b < 0x80 ? uint16_t(b) : HighHalf[b - 0x80]);
}

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The length of a well-formed UTF-8 sequence of two to four bytes at p, or 0.
size_t Utf8SequenceAt(const unsigned char* p) {
    unsigned char lead = p[0];
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    for (size_t i = 1; i < length; ++i)
        if (!IsContinuation(p[i])) return 0;
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if (length == 3 && ((lead == 0xE0 && p[1] < 0xA0) || (lead == 0xED && p[1] >= 0xA0))) return 0;
    if (length == 4 && ((lead == 0xF0 && p[1] < 0x90) || (lead == 0xF4 && p[1] >= 0x90))) return 0;
    return length;
}

}  // namespace

std::string Utf8FromCp1250(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) AppendCp1250(out, static_cast<unsigned char>(*p));
    return out;
}

std::string Utf8FromMixedText(const char* text) {
    std::string out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        size_t length = Utf8SequenceAt(p);
        if (length > 0) {
            out.append(reinterpret_cast<const char*>(p), length);
            p += length;
        } else {
            AppendCp1250(out, *p++);
        }
    }
    return out;
}

const char* PolishPlural(unsigned long n, const char* one, const char* few, const char* many) {
    if (n == 1) return one;
    unsigned long tens = n % 100;
    if (n % 10 >= 2 && n % 10 <= 4 && (tens < 12 || tens > 14)) return few;
    return many;
}

std::string ShownText(const std::string& text) {
    const size_t limit = 40;
    std::string shown;
    size_t i = 0;
    for (; i < text.size() && i < limit; ++i) {
        unsigned char c = (unsigned char)text[i];
        unsigned char next = i + 1 < text.size() ? (unsigned char)text[i + 1] : 0;
        if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            shown += '?';
            ++i;
            continue;
        }
        shown += c < 0x20 || c == 0x7F ? '?' : char(c);
    }
    if (i >= text.size()) return shown;
    while (!shown.empty() && ((unsigned char)shown.back() & 0xC0) == 0x80) shown.pop_back();
    if (!shown.empty() && ((unsigned char)shown.back() & 0xC0) == 0xC0) shown.pop_back();
    return shown + "...";
}

std::string QuotedText(const std::string& text) { return "\"" + ShownText(text) + "\""; }

// The pictures compiled into Selvo.exe: each resource id of res/selvo.rc must
// name a file of the size and colour depth the window and the shell expect.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/byte_files.h"

namespace {

std::string ResDir() { return std::string(SOURCE_DIR) + "/res/"; }

uint32_t Le(const std::vector<uint8_t>& d, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | d.at(at + i);
    return v;
}

struct RcEntry {
    std::string type;
    std::string file;
};

// "id TYPE "file"" lines of the resource script, by id.
std::map<int, RcEntry> ReadResourceScript() {
    std::ifstream in(ResDir() + "selvo.rc");
    std::map<int, RcEntry> entries;
    std::regex line(R"(^\s*(\d+)\s+(ICON|BITMAP)\s+"([^"]+)\"\s*$)");
    std::string text;
    while (std::getline(in, text)) {
        std::smatch m;
        if (std::regex_match(text, m, line)) entries[std::stoi(m[1])] = RcEntry{m[2], m[3]};
    }
    return entries;
}

struct IconExpectation {
    int id;
    unsigned size;
    unsigned bitsPerPixel;
};

TEST(Resources, ScriptNamesTheThreeIconGroupsAndThePicture) {
    std::map<int, RcEntry> rc = ReadResourceScript();
    ASSERT_EQ(rc.size(), 4u);
    for (int id : {1, 2, 3}) EXPECT_EQ(rc[id].type, "ICON") << "id " << id;
    EXPECT_EQ(rc[4].type, "BITMAP");
}

TEST(Resources, EachIconGroupHoldsOneImageOfItsSizeAndDepth) {
    const IconExpectation cases[] = {{1, 32, 4}, {2, 32, 4}, {3, 48, 8}};
    std::map<int, RcEntry> rc = ReadResourceScript();
    for (const IconExpectation& c : cases) {
        SCOPED_TRACE("icon group " + std::to_string(c.id) + ": " + rc[c.id].file);
        std::vector<uint8_t> d = ReadWhole(ResDir() + rc[c.id].file);
        ASSERT_GE(d.size(), 22u);
        EXPECT_EQ(Le(d, 0, 2), 0u);  // reserved
        EXPECT_EQ(Le(d, 2, 2), 1u);  // type: icon
        ASSERT_EQ(Le(d, 4, 2), 1u);  // one image
        EXPECT_EQ(d[6] ? d[6] : 256u, c.size);
        EXPECT_EQ(d[7] ? d[7] : 256u, c.size);
        uint32_t bytes = Le(d, 14, 4), at = Le(d, 18, 4);
        ASSERT_LE(size_t(at) + bytes, d.size());
        // The image itself: a DIB header with the doubled (XOR + AND) height.
        EXPECT_EQ(Le(d, at, 4), 40u);
        EXPECT_EQ(Le(d, at + 4, 4), c.size);
        EXPECT_EQ(Le(d, at + 8, 4), 2 * c.size);
        EXPECT_EQ(Le(d, at + 14, 2), c.bitsPerPixel);
        EXPECT_EQ(Le(d, at + 16, 4), 0u);  // uncompressed
    }
}

TEST(Resources, PictureIsAn8BitBitmapOfAtMost194ColoursAndEveryPixelHasOne) {
    std::map<int, RcEntry> rc = ReadResourceScript();
    std::vector<uint8_t> d = ReadWhole(ResDir() + rc[4].file);
    ASSERT_GE(d.size(), 54u);
    EXPECT_EQ(d[0], 'B');
    EXPECT_EQ(d[1], 'M');
    ASSERT_EQ(Le(d, 14, 4), 40u);
    uint32_t width = Le(d, 18, 4), height = Le(d, 22, 4);
    EXPECT_EQ(width, 640u);
    EXPECT_EQ(height, 498u);  // positive: stored bottom-up, as LoadBitmap expects
    ASSERT_EQ(Le(d, 28, 2), 8u);
    EXPECT_EQ(Le(d, 30, 4), 0u);
    uint32_t colours = Le(d, 46, 4);
    EXPECT_GT(colours, 0u);
    EXPECT_LE(colours, 194u);

    uint32_t pixels = Le(d, 10, 4);
    EXPECT_EQ(pixels, 54 + 4 * colours);
    uint32_t stride = (width + 3) & ~3u;
    ASSERT_EQ(d.size(), size_t(pixels) + stride * height);
    std::set<uint8_t> used;
    for (uint32_t row = 0; row < height; ++row)
        for (uint32_t x = 0; x < width; ++x) used.insert(d[pixels + row * stride + x]);
    EXPECT_LT(*used.rbegin(), colours) << "a pixel points past the palette";
}

}  // namespace

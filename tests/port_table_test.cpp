// The port table: the comparator, sorting and filtering of enumerated names,
// the fallback table, and the native enumeration from $SELVO_PORT_DIR.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "serial/port_table.h"
#include "support/port_folder.h"

namespace {

// Feeds the names as enumerated records and returns every slot of the table,
// the terminating empty one included (reading it proves the capacity under ASan).
std::vector<std::string> FillFrom(std::vector<std::string> names) {
    std::vector<PortRecord> records;
    for (std::string& n : names) records.push_back(PortRecord{&n[0]});
    FillPortTable(records.data(), records.size());
    std::vector<std::string> slots;
    for (size_t i = 0; i <= names.size(); ++i) slots.push_back(PortTable[i]);
    return slots;
}

int Compare(const char* a, const char* b) {
    PortRecord x{const_cast<char*>(a)};
    PortRecord y{const_cast<char*>(b)};
    return ComparePortNames(&x, &y);
}

struct CompareCase {
    const char* a;
    const char* b;
    int expected;
};

TEST(ComparePortNames, DifferenceOfFirstDifferingFoldedSignedBytes) {
    const CompareCase cases[] = {
        {"COM1:", "COM1:", 0},
        {"com1:", "COM1:", 0},  // letters fold to upper case
        {"COM1:", "COM2:", '1' - '2'},
        {"COM10:", "COM1:", '0' - ':'},  // the colon sorts after the digits
        {"COM1", "COM1:", 0 - ':'},      // the end of a name sorts first among ASCII
        {"COM1:", "COM1", ':'},
        {"a", "B", 'A' - 'B'},
        {"[", "a", '[' - 'A'},  // folding puts "[" after the letters
        {"A\xE9", "A", -23},    // 0xE9 read as -23: before the terminator
        {"\xC5", "A", -59 - 'A'},
        {"\xE9", "\xC9", -23 - -55},  // bytes above 0x7F are not folded
        {"", "", 0},
    };
    for (const CompareCase& c : cases)
        EXPECT_EQ(Compare(c.a, c.b), c.expected) << '"' << c.a << "\" vs \"" << c.b << '"';
}

TEST(ComparePortNames, RecordWithoutNameSortsAsEmptyName) {
    EXPECT_EQ(Compare(nullptr, nullptr), 0);
    EXPECT_EQ(Compare(nullptr, "COM1:"), -'C');
    EXPECT_EQ(Compare("COM1:", nullptr), 'C');
}

TEST(FillPortTable, SortsEveryNameThenKeepsUpperCaseComNames) {
    EXPECT_EQ(FillFrom({"LPT1:", "COM2:", "com3:", "COM10:", "FILE:", "COM1:"}),
              (std::vector<std::string>{"COM10:", "COM1:", "COM2:", "", "", "", ""}));
    EXPECT_FALSE(IsPortTableEmpty());
}

TEST(FillPortTable, CutsLongNamesToSevenCharacters) {
    EXPECT_EQ(FillFrom({"COM1234:", "COM5678901:", "COM9:"}),
              (std::vector<std::string>{"COM1234", "COM5678", "COM9:", ""}));
}

TEST(FillPortTable, EveryComNameGetsASlotAndTheTableStillEnds) {
    EXPECT_EQ(FillFrom({"COM4:", "COM3:", "COM2:", "COM1:"}),
              (std::vector<std::string>{"COM1:", "COM2:", "COM3:", "COM4:", ""}));
}

TEST(FillPortTable, PrefixMustBeExactlyComInUpperCase) {
    EXPECT_EQ(FillFrom({"Com1:", "cOM2:", "CO", "COM", "XCOM1:", "COMX:"}),
              (std::vector<std::string>{"COM", "COMX:", "", "", "", "", ""}));
}

TEST(FillPortTable, WithoutAnyComNameTheTableIsEmpty) {
    EXPECT_EQ(FillFrom({"LPT1:", "FILE:", "com1:"}), (std::vector<std::string>{"", "", "", ""}));
    EXPECT_TRUE(IsPortTableEmpty());
}

TEST(FillPortTable, WithoutAnyRecordTheTableIsOneEmptySlot) {
    FillPortTable(nullptr, 0);
    ASSERT_NE(PortTable, nullptr);
    EXPECT_STREQ(PortTable[0], "");
    EXPECT_TRUE(IsPortTableEmpty());
}

TEST(FillPortTable, SkipsARecordWithoutName) {
    std::string com1 = "COM1:";
    PortRecord records[] = {{nullptr}, {&com1[0]}};
    FillPortTable(records, 2);
    EXPECT_STREQ(PortTable[0], "COM1:");
    EXPECT_STREQ(PortTable[1], "");
}

TEST(PortTable, FallbackOffersComOneAndTwo) {
    UseFallbackPortTable();
    EXPECT_STREQ(PortTable[0], "COM1");
    EXPECT_STREQ(PortTable[1], "COM2");
    EXPECT_STREQ(PortTable[2], "");
    FreePortTable();
    EXPECT_EQ(PortTable, nullptr);
    EXPECT_TRUE(IsPortTableEmpty());
}

// The native enumeration: one port per entry of the folder, named as the spooler would.
class PortFolder : public ::testing::Test {
  protected:
    void TearDown() override { FreePortTable(); }
    void Link(const std::string& name) {
        ASSERT_EQ(symlink("/dev/null", ports.PathOf(name).c_str()), 0);
    }
    ::PortFolder ports;  // the support's, which this suite is named after; set meanwhile
};

TEST_F(PortFolder, ListsTheComLinksSortedAsTheSpoolerNamesThem) {
    for (const char* n : {"com3", "lpt1", "com12", "com1"}) Link(n);
    BuildPortTable();
    EXPECT_STREQ(PortTable[0], "COM12:");
    EXPECT_STREQ(PortTable[1], "COM1:");
    EXPECT_STREQ(PortTable[2], "COM3:");
    EXPECT_STREQ(PortTable[3], "");
}

TEST_F(PortFolder, AnEmptyFolderGivesAnEmptyTable) {
    BuildPortTable();
    EXPECT_TRUE(IsPortTableEmpty());
}

TEST_F(PortFolder, WithoutTheFolderTheFallbackIsUsed) {
    unsetenv("SELVO_PORT_DIR");
    BuildPortTable();
    EXPECT_STREQ(PortTable[0], "COM1");
    EXPECT_STREQ(PortTable[1], "COM2");
    EXPECT_STREQ(PortTable[2], "");
}

}  // namespace

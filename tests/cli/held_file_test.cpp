// The files dm730 holds open: made only where nothing is, opened never
// through a link or into a pipe, and known apart from whatever is put under
// their names later.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "cli/system/held_file.h"
#include "support/byte_files.h"
#include "support/temp_folder.h"

namespace {

TEST(HeldFile, MadeAndOpenedOnlyWhereAPlainFileIs) {
    TempFolder folder("selvo_held");
    WriteWhole(folder.PathOf("plain"), Bytes{'a', 'b'});
    ASSERT_EQ(symlink(folder.PathOf("plain").c_str(), folder.PathOf("link").c_str()), 0);
    ASSERT_EQ(symlink(folder.PathOf("none").c_str(), folder.PathOf("dangling").c_str()), 0);
    ASSERT_EQ(mkfifo(folder.PathOf("fifo").c_str(), 0600), 0);
    struct Case {
        const char* name;
        bool made;    // CreateHeldFile succeeds
        bool opened;  // OpenHeldFile succeeds
    };
    const Case cases[] = {
        {"new", true, false},       {"plain", false, true}, {"link", false, false},
        {"dangling", false, false}, {"fifo", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeldFile made, opened;
        EXPECT_EQ(CreateHeldFile(folder.PathOf(c.name), &made) == FileOperationDone, c.made);
        EXPECT_EQ(OpenHeldFile(folder.PathOf(c.name), &opened) == FileOperationDone,
                  c.opened || c.made);
        CloseHeldFile(&made);
        CloseHeldFile(&opened);
    }
    EXPECT_FALSE(std::filesystem::exists(folder.PathOf("none"))) << "made through the link";

    // What is written is read back through the same file; another file put
    // under its name is not it.
    HeldFile part;
    ASSERT_EQ(CreateHeldFile(folder.PathOf("part"), &part), FileOperationDone);
    ASSERT_EQ(WriteHeldFile(part, "held"), FileOperationDone);
    std::string back;
    ASSERT_EQ(ReadHeldFile(part, &back), FileOperationDone);
    EXPECT_EQ(back, "held");
    EXPECT_TRUE(IsHeldAt(part, folder.PathOf("part")));
    ASSERT_EQ(rename(folder.PathOf("part").c_str(), folder.PathOf("moved").c_str()), 0);
    WriteWhole(folder.PathOf("part"), Bytes{'h', 'e', 'l', 'd'});
    EXPECT_FALSE(IsHeldAt(part, folder.PathOf("part")));
    EXPECT_TRUE(IsHeldAt(part, folder.PathOf("moved")));
    CloseHeldFile(&part);
}

}  // namespace

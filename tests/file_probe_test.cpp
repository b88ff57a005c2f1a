// The file checks go by the file's own permission bits, not by who asks:
// the tests run as root, who may write anything.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "support/temp_folder.h"
#include "transfer/file_probe.h"

TEST(FileProbeTest, StateByPermissionBits) {
    TempFolder folder("selvo_probe");
    std::string dir = folder.Path().string();
    struct Case {
        const char* name;
        int mode;
        int state;
    };
    const Case cases[] = {
        {"plain", 0644, FileWritable},   {"owner-only", 0200, FileWritable},
        {"locked", 0444, FileReadOnly},  {"others-may", 0466, FileReadOnly},
        {"nothing", 0000, FileReadOnly},
    };
    for (const Case& c : cases) {
        std::string path = dir + "/" + c.name;
        std::ofstream(path) << "x";
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        EXPECT_EQ(ProbeFile(path.c_str()), c.state) << c.name;
    }
    EXPECT_EQ(ProbeFile((dir + "/absent").c_str()), FileMissing);
    EXPECT_EQ(ProbeFile((dir + "/plain/below").c_str()), FileMissing);
    EXPECT_EQ(ProbeFile(""), FileMissing);
    ASSERT_EQ(symlink((dir + "/absent").c_str(), (dir + "/dangling").c_str()), 0);
    EXPECT_EQ(ProbeFile((dir + "/dangling").c_str()), FileMissing);
}

#include <gtest/gtest.h>

#include <set>

#include "core/errors.h"
#include "engine/common/path_tests.h"
#include "engine/common/unique_name.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

const auto kNothingExists = [](const std::string&) { return false; };

TEST(UniqueName, TheNumberAfterTheStartInBase32) {
    EXPECT_EQ(FindUniqueName("C:\\T", ".tmp", 5, kNothingExists), "C:\\T\\qv-00006.tmp");
    EXPECT_EQ(FindUniqueName("C:\\T\\", "", 31, kNothingExists), "C:\\T\\qv-00010");
    EXPECT_EQ(FindUniqueName("C:\\T", ".tmp", 331423 /* 0A3KV */, kNothingExists), "C:\\T\\qv-0A3L0.tmp");
    // After the last number comes 0.
    EXPECT_EQ(FindUniqueName("C:\\T", ".tmp", kUniqueNameCount - 1, kNothingExists), "C:\\T\\qv-00000.tmp");
}

TEST(UniqueName, ExistingNamesAreSkipped) {
    std::vector<std::string> tried;
    const std::string name = FindUniqueName("D:", ".x", 100, [&](const std::string& n) {
        tried.push_back(n);
        return tried.size() < 3;
    });
    EXPECT_EQ(tried, (std::vector<std::string>{"D:\\qv-00035.x", "D:\\qv-00036.x", "D:\\qv-00037.x"}));
    EXPECT_EQ(name, "D:\\qv-00037.x");
}

TEST(UniqueName, EveryNameTakenButTheStartNeverTried) {
    const std::string start = "qv-" + std::string("00007");
    std::uint32_t tries = 0;
    bool startTried = false;
    try {
        FindUniqueName("E:", ".tmp", 7, [&](const std::string& n) {
            ++tries;
            if (n.compare(3, 8, start) == 0) startTried = true;
            return true;
        });
        FAIL() << "a name was found";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "由于目标文件夹中文件数太多，导致无法在该文件夹下创建文件");
    }
    EXPECT_EQ(tries, kUniqueNameCount - 1);
    EXPECT_FALSE(startTried);
}

TEST(UniqueName, RealNamesAreFreeAndVary) {
    test::ScratchFolder folder;
    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        const std::string name = MakeUniqueName(folder.path(), ".tmp");
        EXPECT_EQ(name.substr(0, folder.path().size() + 4), folder.path() + "\\qv-");
        EXPECT_EQ(name.size(), folder.path().size() + 13);
        EXPECT_FALSE(PathExists(name));
        names.insert(name);
        test::WriteFileBytes(name, {});  // taken from now on
    }
    EXPECT_EQ(names.size(), 20u);
}

}  // namespace
}  // namespace qv

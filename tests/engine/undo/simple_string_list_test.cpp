#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/undo/simple_string_list.h"

namespace qv {
namespace {

std::vector<std::string> Held(const TSimpleStringList& list) { return {list.begin(), list.end()}; }

TEST(SimpleStringList, GrowsEightSlotsAtATimeAndKeepsTheOrder) {
    TSimpleStringList list;
    EXPECT_EQ(list.Capacity(), 0u);
    std::vector<std::string> added;
    for (int i = 0; i < 9; ++i) {
        added.push_back("C:\\F" + std::to_string(i));
        list.Add(added.back());
        EXPECT_EQ(list.Capacity(), i < 8 ? 8u : 16u) << i;
    }
    EXPECT_EQ(list.Count(), 9u);
    EXPECT_EQ(Held(list), added);
    list.Add(added[0]);  // Add never looks for duplicates
    EXPECT_EQ(list.Count(), 10u);
}

TEST(SimpleStringList, AddUniqueComparesByteForByte) {
    TSimpleStringList list;
    list.AddUnique("C:\\App");
    list.AddUnique("C:\\APP");
    list.AddUnique("C:\\App");
    list.AddUnique("C:\\App\\");
    EXPECT_EQ(Held(list), (std::vector<std::string>{"C:\\App", "C:\\APP", "C:\\App\\"}));
    EXPECT_TRUE(list.Contains("C:\\APP"));
    EXPECT_FALSE(list.Contains("c:\\app"));
}

TEST(SimpleStringList, ResizeAndClear) {
    TSimpleStringList list;
    for (const char* s : {"a", "b", "c"}) list.Add(s);
    list.Resize(20);
    EXPECT_EQ(list.Capacity(), 20u);
    EXPECT_EQ(Held(list), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(list[3], "");  // a new slot starts empty
    list.Resize(2);
    EXPECT_EQ(Held(list), (std::vector<std::string>{"a", "b"}));
    list.Add("d");  // the list was full: it grows again
    EXPECT_EQ(list.Capacity(), 10u);
    EXPECT_EQ(Held(list), (std::vector<std::string>{"a", "b", "d"}));
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Capacity(), 0u);
    list.AddUnique("a");
    EXPECT_EQ(Held(list), (std::vector<std::string>{"a"}));
}

}  // namespace
}  // namespace qv

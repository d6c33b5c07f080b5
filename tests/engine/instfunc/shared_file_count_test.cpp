#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/shared_file_count.h"

namespace qv {
namespace {

// A value as the registry holds it.
struct RawValue {
    DWORD Type = REG_NONE;
    std::vector<BYTE> Bytes;
    bool operator==(const RawValue& o) const { return Type == o.Type && Bytes == o.Bytes; }
};

std::ostream& operator<<(std::ostream& out, const RawValue& v) {
    out << "type " << v.Type << ", bytes";
    for (BYTE b : v.Bytes) out << ' ' << static_cast<int>(b);
    return out;
}

RawValue Dword(std::uint32_t n) {
    return {REG_DWORD, {BYTE(n), BYTE(n >> 8), BYTE(n >> 16), BYTE(n >> 24)}};
}
RawValue Binary(std::vector<BYTE> bytes) { return {REG_BINARY, std::move(bytes)}; }
RawValue Text(const std::wstring& text, DWORD type = REG_SZ) {
    const auto* p = reinterpret_cast<const BYTE*>(text.c_str());
    return {type, std::vector<BYTE>(p, p + (text.size() + 1) * sizeof(wchar_t))};
}

// Counts of made-up files in the real SharedDLLs key, removed afterwards.
class SharedCounts : public ::testing::Test {
protected:
    SharedCounts() : key_(OpenSharedDllsKey()) {}
    ~SharedCounts() override {
        for (const auto& name : names_) RegDeleteValueW(key_.get(), Widen(name).c_str());
    }
    std::string File(const std::string& name) {
        names_.push_back("C:\\QVSetupTests\\共享 " + name);
        RegDeleteValueW(key_.get(), Widen(names_.back()).c_str());
        return names_.back();
    }
    void Store(const std::string& file, const RawValue& v) {
        ASSERT_EQ(RegSetValueExW(key_.get(), Widen(file).c_str(), 0, v.Type, v.Bytes.data(),
                                 static_cast<DWORD>(v.Bytes.size())),
                  ERROR_SUCCESS);
    }
    RawValue Stored(const std::string& file) {
        RawValue v;
        DWORD size = 0;
        if (RegQueryValueExW(key_.get(), Widen(file).c_str(), nullptr, &v.Type, nullptr, &size) != ERROR_SUCCESS)
            return {};
        v.Bytes.resize(size);
        RegQueryValueExW(key_.get(), Widen(file).c_str(), nullptr, &v.Type, v.Bytes.data(), &size);
        return v;
    }
    // The value after one raise of `before`.
    RawValue Raised(const RawValue& before, bool wasPresent) {
        const std::string file = File("raised.dll");
        Store(file, before);
        RaiseSharedFileCount(file, wasPresent);
        return Stored(file);
    }

    UniqueHKey key_;
    std::vector<std::string> names_;
};

TEST_F(SharedCounts, AFileWithoutACountGetsOneOrTwoWhenItWasThere) {
    const std::string fresh = File("fresh.dll"), present = File("present.dll");
    RaiseSharedFileCount(fresh, false);
    EXPECT_EQ(Stored(fresh), Dword(1));
    RaiseSharedFileCount(present, true);
    EXPECT_EQ(Stored(present), Dword(2));
    // A count above zero is the truth, whatever is on disk.
    RaiseSharedFileCount(present, true);
    EXPECT_EQ(Stored(present), Dword(3));
}

TEST_F(SharedCounts, EachStoredTypeIsKept) {
    EXPECT_EQ(Raised(Dword(5), false), Dword(6));
    EXPECT_EQ(Raised(Dword(0), true), Dword(2));
    EXPECT_EQ(Raised(Binary({7}), false), Binary({8, 0, 0, 0}));
    EXPECT_EQ(Raised(Binary({0xFF, 0x01}), false), Binary({0x00, 0x02, 0, 0}));
    EXPECT_EQ(Raised(Binary({0xFF, 0xFF, 0x00}), false), Binary({0, 0, 1, 0}));
    EXPECT_EQ(Raised(Binary({3, 0, 0, 0}), true), Binary({4, 0, 0, 0}));
    EXPECT_EQ(Raised(Text(L"3"), false), Text(L"4"));
    EXPECT_EQ(Raised(Text(L"0"), true), Text(L"2"));
}

TEST_F(SharedCounts, CountsThatAreNoCountsAreRepaired) {
    // Not a number, or not a count in any of the three forms: REG_DWORD.
    EXPECT_EQ(Raised(Text(L"three"), false), Dword(1));
    EXPECT_EQ(Raised(Text(L"three"), true), Dword(2));
    EXPECT_EQ(Raised(Text(L""), false), Dword(1));
    EXPECT_EQ(Raised(Text(L"3", REG_EXPAND_SZ), false), Dword(1));
    EXPECT_EQ(Raised(Binary({1, 2, 3, 4, 5}), false), Dword(1));
    EXPECT_EQ(Raised(Binary({}), true), Dword(2));
    EXPECT_EQ(Raised({REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}}, false), Dword(1));
    // A negative count counts as none, in the type it was found in.
    EXPECT_EQ(Raised(Dword(0xFFFFFFFF), false), Dword(1));
    EXPECT_EQ(Raised(Text(L"-4"), true), Text(L"2"));
    // The top of the range is not passed.
    EXPECT_EQ(Raised(Dword(0x7FFFFFFF), false), Dword(0x7FFFFFFF));
}

TEST_F(SharedCounts, ReadAndWriteInTheStoredType) {
    const std::string file = File("both ways.dll");
    TStoredSharedCount stored = ReadSharedFileCount(key_.get(), file);
    EXPECT_FALSE(stored.Exists);
    EXPECT_FALSE(stored.Count);
    EXPECT_EQ(stored.Type, DWORD{REG_DWORD});

    const struct {
        DWORD Type;
        std::int32_t Count;
        RawValue Written;
    } cases[] = {
        {REG_DWORD, 0x01020304, Dword(0x01020304)},
        {REG_BINARY, 0x01020304, Binary({4, 3, 2, 1})},
        {REG_SZ, 12, Text(L"12")},
        {REG_SZ, 0, Text(L"0")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Type);
        EXPECT_TRUE(WriteSharedFileCount(key_.get(), file, c.Count, c.Type));
        EXPECT_EQ(Stored(file), c.Written);
        stored = ReadSharedFileCount(key_.get(), file);
        EXPECT_TRUE(stored.Exists);
        EXPECT_EQ(stored.Count, c.Count);
        EXPECT_EQ(stored.Type, c.Type);
    }
    // A value that holds no count exists, with nothing to count.
    Store(file, Text(L"x"));
    stored = ReadSharedFileCount(key_.get(), file);
    EXPECT_TRUE(stored.Exists);
    EXPECT_FALSE(stored.Count);
    EXPECT_EQ(stored.Type, DWORD{REG_DWORD});
}

}  // namespace
}  // namespace qv

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <functional>
#include <string>

#include "core/errors.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/com_for_process.h"
#include "engine/instfunc/link_file.h"
#include "testkit/links.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::ScratchFolder;

// What a link file holds, read back through the shell's own link object.
using test::LinkFields;
using test::ReadLink;

// Runs `work` on a thread of its own, which starts without COM.
void OnNewThread(const std::function<void()>& work) {
    struct Job {
        const std::function<void()>* Work;
    } job{&work};
    const UniqueHandle thread(CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            (*static_cast<Job*>(p)->Work)();
            return 0;
        },
        &job, 0, nullptr));
    ASSERT_TRUE(thread.valid());
    WaitForSingleObject(thread.get(), INFINITE);
}

class LinkFile : public ::testing::Test {
protected:
    LinkFile() {
        CreateDirectoryW(Widen(programs_).c_str(), nullptr);
        test::WriteFileBytes(target_, {'M', 'Z'});
    }
    const ComInitialization com_ = InitializeComForProcess();
    ScratchFolder scratch_;
    std::string programs_ = scratch_.file("程序 folder"), target_ = programs_ + "\\示例 app.exe";
};

TEST_F(LinkFile, EveryFieldReadsBack) {
    const std::string link = programs_ + "\\示例 程序.lnk";
    CreateLinkFile(link, "示例 程序", target_, "/x \"a b\" 中文", programs_, programs_ + "\\icons.dll", 3);
    const LinkFields read = ReadLink(link);
    EXPECT_EQ(read.Target, target_);
    EXPECT_EQ(read.Arguments, "/x \"a b\" 中文");
    EXPECT_EQ(read.StartFolder, programs_);
    EXPECT_EQ(read.IconFile, programs_ + "\\icons.dll");
    EXPECT_EQ(read.IconIndex, 3);
    EXPECT_EQ(read.Description, "示例 程序");
}

TEST_F(LinkFile, EmptyStartFolderAndIconFileStayUnset) {
    const std::string link = scratch_.file("plain.lnk");
    CreateLinkFile(link, "Plain", target_, "", "", "", 7);
    const LinkFields read = ReadLink(link);
    EXPECT_EQ(read.Target, target_);
    EXPECT_EQ(read.Arguments, "");
    EXPECT_EQ(read.StartFolder, "");
    EXPECT_EQ(read.IconFile, "");
    EXPECT_EQ(read.IconIndex, 0);  // the index given without a file is not stored
    EXPECT_EQ(read.Description, "Plain");
}

TEST_F(LinkFile, ALinkThatCannotBeSavedIsReported) {
    const std::string link = scratch_.file("no such folder") + "\\x.lnk";
    try {
        CreateLinkFile(link, "x", target_, "", "", "", 0);
        FAIL() << "an unsaved link went unreported";
    } catch (const Exception& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.rfind("不能创建快捷方式 \"" + link + "\"：", 0), 0u) << message;
    }
    EXPECT_FALSE(PathExists(link));
}

TEST(InitializeComForProcess, ComLastsForItsScope) {
    ScratchFolder scratch;
    const std::string target = scratch.file("app.exe"), link = scratch.file("a.lnk");
    test::WriteFileBytes(target, {'M', 'Z'});
    OnNewThread([&] {
        // No link object before COM is started, nor after it has ended.
        EXPECT_THROW(CreateLinkFile(link, "a", target, "", "", "", 0), Exception);
        {
            const ComInitialization com = InitializeComForProcess();
            CreateLinkFile(link, "a", target, "", "", "", 0);
        }
        EXPECT_TRUE(FileExists(link));
        try {
            CreateLinkFile(link, "a", target, "", "", "", 0);
            ADD_FAILURE() << "a link was made without COM";
        } catch (const Exception& e) {
            EXPECT_STRNE(e.what(), "") << "the system's text is missing";
        }
    });
}

TEST(InitializeComForProcess, AThreadInAnotherModelCannotStartIt) {
    OnNewThread([] {
        ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        try {
            const ComInitialization com = InitializeComForProcess();
            ADD_FAILURE() << "COM started in a second threading model";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "初始化失败。");
        }
        CoUninitialize();
    });
}

}  // namespace
}  // namespace qv

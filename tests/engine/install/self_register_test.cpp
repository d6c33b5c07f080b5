#include <gtest/gtest.h>

#include <windows.h>

#include "core/errors.h"
#include "engine/common/win_text.h"
#include "engine/install/self_register.h"
#include "install_bench.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::AnsweredBoxes;
using test::ScratchFolder;

// A built test library copied to a scratch folder, and the log its
// DllRegisterServer writes each call to.
class RegistrationBench {
public:
    explicit RegistrationBench(const std::string& library)
        : library_(scratch_.file("控件 " + library)), logVariable_("QV_TEST_REGISTER_LOG", scratch_.file("calls.log")) {
        EXPECT_TRUE(CopyFileW(Widen(test::BuiltFile(library)).c_str(), Widen(library_).c_str(), TRUE)) << library;
    }
    const std::string& library() const { return library_; }
    // The libraries whose DllRegisterServer ran, one line each.
    std::string Calls() const {
        const std::string log = scratch_.file("calls.log");
        if (GetFileAttributesW(Widen(log).c_str()) == INVALID_FILE_ATTRIBUTES) return {};
        const auto bytes = test::ReadFileBytes(log);
        return {bytes.begin(), bytes.end()};
    }
    std::string file(const std::string& name) const { return scratch_.file(name); }

private:
    ScratchFolder scratch_;
    std::string library_;
    test::ScopedEnvVar logVariable_;
};

std::string FailureText(const std::string& library, const std::string& reason) {
    return library + "\r\n不能注册DLL/OCX. (" + reason + ")\r\n\r\n按<重试>再试，<忽略>继续(不推荐)，或按<取消>取消安装。";
}

TEST(SelfRegisterLibrary, ARegisteringLibraryIsCalledOnceAndNothingIsAsked) {
    RegistrationBench bench("qvtest_registers.dll");
    const TSelfRegisterOutcome outcome = CallDllRegisterServer(bench.library());
    EXPECT_EQ(outcome.Stage, TSelfRegisterStage::Registered);
    EXPECT_EQ(outcome.Result, S_OK);
    EXPECT_EQ(bench.Calls(), bench.library() + "\n");

    AnsweredBoxes boxes;
    SelfRegisterLibrary(bench.library());
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(bench.Calls(), bench.library() + "\n" + bench.library() + "\n");
    // The library was freed again: nothing holds the file.
    EXPECT_TRUE(DeleteFileW(Widen(bench.library()).c_str()));
}

TEST(SelfRegisterLibrary, AFailureStatusIsShownAsASignedNumberAndRetryCallsAgain) {
    RegistrationBench bench("qvtest_register_fails.dll");
    AnsweredBoxes boxes({IDRETRY, IDIGNORE});
    SelfRegisterLibrary(bench.library());
    ASSERT_EQ(boxes.asked.size(), 2u);
    for (const MsgBoxQuestion& question : boxes.asked) {
        EXPECT_EQ(question.Text, FailureText(bench.library(), "DLL注册服务返回 -2147467259"));
        EXPECT_EQ(question.Caption, "Error");
        EXPECT_EQ(question.Kind, mbtError);
        EXPECT_EQ(question.Flags, UINT{MB_ABORTRETRYIGNORE | MB_DEFBUTTON1 | MB_ICONEXCLAMATION});
    }
    EXPECT_EQ(bench.Calls(), bench.library() + "\n" + bench.library() + "\n");
}

TEST(SelfRegisterLibrary, ALibraryWithoutTheExportAndAFileThatIsNoLibraryHaveTheirReasons) {
    RegistrationBench bench("qvtest_no_register.dll");
    EXPECT_EQ(CallDllRegisterServer(bench.library()).Stage, TSelfRegisterStage::NoExport);
    {
        AnsweredBoxes boxes({IDABORT});
        EXPECT_THROW(SelfRegisterLibrary(bench.library()), EAbort);
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].Text, FailureText(bench.library(), "DLL注册服务输出未发现。"));
    }

    const std::string text = bench.file("readme.txt");
    test::WriteFileBytes(text, test::Bytes("not a library"));
    EXPECT_EQ(CallDllRegisterServer(text).Stage, TSelfRegisterStage::NotLoaded);
    EXPECT_EQ(CallDllRegisterServer(bench.file("missing.dll")).Stage, TSelfRegisterStage::NotLoaded);
    AnsweredBoxes boxes({IDIGNORE});
    SelfRegisterLibrary(text);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text, FailureText(text, "引导库文件出错。"));
    EXPECT_EQ(bench.Calls(), "");
}

TEST(SelfRegisterLibrary, ALibraryThatCrashesIsAFailureLikeAnyOtherAndThisProcessLivesOn) {
    RegistrationBench bench("qvtest_register_crashes.dll");
    const TSelfRegisterOutcome outcome = CallDllRegisterServer(bench.library());
    EXPECT_EQ(outcome.Stage, TSelfRegisterStage::Crashed);
    EXPECT_EQ(outcome.Code, 0xC0000005u);
    AnsweredBoxes boxes({IDRETRY, IDABORT});
    EXPECT_THROW(SelfRegisterLibrary(bench.library()), EAbort);
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[1].Text, FailureText(bench.library(), "DLL注册服务异常终止，代码 0xC0000005。"));
    EXPECT_TRUE(DeleteFileW(Widen(bench.library()).c_str())) << "the child that crashed holds nothing";
}

}  // namespace
}  // namespace qv

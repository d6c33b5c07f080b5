// The process command line as Setup.exe reads it: a probe program is started
// with chosen command lines and reports what the engine's functions saw.
#include <gtest/gtest.h>

#include <map>

#include "engine/common/win_text.h"
#include "testkit/child_process.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::ChildRun;
using test::ScratchFolder;

// "name=value" lines of the probe's output.
std::map<std::string, std::string> Probe(const std::string& program, const std::string& commandLine) {
    ChildRun run;
    run.Program = program;
    run.CommandLine = commandLine;
    const test::ChildResult result = test::RunChild(run);
    EXPECT_TRUE(result.Started);
    EXPECT_EQ(result.ExitCode, 0u);
    std::map<std::string, std::string> lines;
    std::size_t at = 0;
    while (at < result.Output.size()) {
        std::size_t end = result.Output.find('\n', at);
        if (end == std::string::npos) end = result.Output.size();
        const std::string line = result.Output.substr(at, end - at);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) lines[line.substr(0, equals)] = line.substr(equals + 1);
        at = end + 1;
    }
    return lines;
}

class ProcessCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        // A program path with a space and Chinese characters in it.
        program_ = folder_.file("cmdline probe.exe");
        ASSERT_TRUE(CopyFileW(Widen(test::ProgramFolder() + "\\cmdline_probe.exe").c_str(), Widen(program_).c_str(),
                              FALSE));
    }
    ScratchFolder folder_{"qv 命令行"};
    std::string program_;
};

TEST_F(ProcessCommandLine, QuotedProgramPathWithSpacesThenSwitch) {
    auto seen = Probe(program_, "\"" + program_ + "\" /SL");
    EXPECT_EQ(seen["tail"], "/SL");
    EXPECT_EQ(seen["count"], "1");
    EXPECT_EQ(seen["param0"], program_);
    EXPECT_EQ(seen["param1"], "/SL");
    EXPECT_EQ(seen["param2"], "");
}

TEST_F(ProcessCommandLine, ProgramPathComesFromTheSystemNotFromTheCommandLine) {
    auto seen = Probe(program_, "setup   /dir=x");
    EXPECT_EQ(seen["param0"], program_);
    EXPECT_EQ(seen["tail"], "/dir=x");
    EXPECT_EQ(seen["param1"], "/dir=x");
}

TEST_F(ProcessCommandLine, EmptyQuotesAreSkippedAndQuotedRunsJoin) {
    auto seen = Probe(program_, "setup  \"\"  /DIR=\"C:\\My Apps\" x \"C:\\a b\"\\SUB");
    EXPECT_EQ(seen["count"], "3");
    EXPECT_EQ(seen["param1"], "/DIR=C:\\My Apps");
    EXPECT_EQ(seen["param2"], "x");
    EXPECT_EQ(seen["param3"], "C:\\a b\\SUB");
    EXPECT_EQ(seen["param4"], "");
}

TEST_F(ProcessCommandLine, ChineseParametersArriveAsUtf8) {
    auto seen = Probe(program_, "setup /GROUP=示例 程序");
    EXPECT_EQ(seen["count"], "2");
    EXPECT_EQ(seen["param1"], "/GROUP=示例");
    EXPECT_EQ(seen["param2"], "程序");
}

TEST_F(ProcessCommandLine, NoParameters) {
    auto seen = Probe(program_, "\"" + program_ + "\"");
    EXPECT_EQ(seen["tail"], "");
    EXPECT_EQ(seen["count"], "0");
    EXPECT_EQ(seen["param1"], "");
}

}  // namespace
}  // namespace qv

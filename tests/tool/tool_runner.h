// Runs the real qvsetup program (the one built beside the test program) and
// captures what it prints, for end-to-end tests of the command line.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qv::test {

struct ToolRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// Arguments in UTF-8.
ToolRun RunQvsetup(const std::vector<std::string>& args);
// The same with a copy of qvsetup elsewhere (what qvsetup finds beside
// itself depends on where it lies).
ToolRun RunQvsetupAt(const std::filesystem::path& program, const std::vector<std::string>& args);

// The qvsetup program built beside the test program.
std::filesystem::path QvsetupProgram();

// The folder of the running test program (where CMake puts every program).
std::filesystem::path ProgramFolder();

// A file of the test sources' scripts folder.
std::filesystem::path ScriptSource(const std::string& name);

}  // namespace qv::test

// Starting the programs of the run records after installing.
#pragma once

#include <string>

namespace qv {

// The command line of a program: its name, quoted when it holds a space,
// a blank, and the parameters (the blank also when they are empty).
std::string RunProgramCommandLine(const std::string& filename, const std::string& parameters);

// Starts the program. With `wait`, window messages go on being processed
// until it has ended. A program that cannot be started is reported in the
// message box ("不能运行文件：...", with the Windows error code and text);
// nothing is raised, so the next program still runs.
void RunProgram(const std::string& filename, const std::string& parameters, bool wait);

}  // namespace qv

// Starting the programs of the run records after installing.
#pragma once

#include <string>
#include <vector>

#include "core/setupdata/records.h"

namespace qv {

// The command line of a program: its name, quoted when it holds a space,
// a blank, and the parameters (the blank also when they are empty).
std::string RunProgramCommandLine(const std::string& filename, const std::string& parameters);

// The program `filename` names: a full path as it is; a bare name (or a
// relative path) in the system folder, then the Windows folder, ".exe"
// added when it has no extension; never in Setup.exe's folder, the
// current folder or the PATH. "" when it is in neither.
std::string ProgramByFullPath(const std::string& filename);

// Starts the program (found by ProgramByFullPath). With `wait`, window messages go on being processed
// until it has ended. A program that cannot be started is reported in the
// message box ("不能运行文件：...", with the Windows error code and text);
// nothing is raised, so the next program still runs.
void RunProgram(const std::string& filename, const std::string& parameters, bool wait);

// Starts the programs of the run records in their order, once the
// installation has completed, for the wizard and the unattended run alike.
// An error of one record (a program that cannot start, a name that cannot
// be expanded) is shown and the next record still runs: the installation
// stands whatever they do.
void RunRunRecords(const std::vector<TRunRec>& records);

}  // namespace qv

// The parameters of this process's command line, split as the setup engine
// always splits them (see core/text/command_line.h).
#pragma once

#include <string>
#include <vector>

namespace qv {

// The command line without the program's own path.
std::string CommandLineTail();
// The number of parameters before the first empty one.
int GetParamCount();
// 0: the program's full path as Windows knows it (not as typed);
// n >= 1: the n-th parameter, empty when there are fewer.
std::string GetParam(int index);
// GetParam(0) to GetParam(GetParamCount()).
std::vector<std::string> GetParams();

}  // namespace qv

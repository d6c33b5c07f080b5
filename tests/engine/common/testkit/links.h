// Reading a shell link back as the shell sees it, for the tests of the
// links the engine makes. Needs COM on the calling thread.
#pragma once

#include <string>

namespace qv::test {

struct LinkFields {
    std::string Target, Arguments, StartFolder, IconFile, Description;
    int IconIndex = -1;
};

LinkFields ReadLink(const std::string& linkPath);

}  // namespace qv::test

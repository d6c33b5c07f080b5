// The existing program groups that the group page offers to pick from.
#pragma once

#include <string>
#include <vector>

namespace qv {

// The lines of a text as a list box takes them: CR, LF and CR LF each end
// a line, an empty line inside is an empty item, a line break at the very
// end adds none, and the text ends at its first zero.
std::vector<std::string> SplitListLines(const std::string& text);

// On Windows 4 and later the sub-folders of `commonProgramsFolder` (hidden
// and system ones included); below 4 the groups of the Program Manager,
// asked for through DDE. Never raises: a folder that cannot be read, no
// Program Manager or one that does not answer in time leave the list with
// what was found until then, so that the user can still type a name. In
// the order found; the page's list box sorts them.
std::vector<std::string> FillGroupList(const std::string& commonProgramsFolder);

}  // namespace qv

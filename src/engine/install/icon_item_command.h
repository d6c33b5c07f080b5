// The Program Manager commands of the icons step on the old shell. The item
// command begins with the group's CreateGroup command, so that the group is
// the active one whatever the user did in the Program Manager meanwhile.
#pragma once

#include <cstddef>
#include <string>

namespace qv {

// The Program Manager reads an execute into a buffer of this many bytes,
// its terminating zero included.
constexpr std::size_t kItemCommandLimit = 2048;

std::string CreateGroupCommand(const std::string& group);
std::string ShowGroupCommand(const std::string& group);
std::string ReplaceItemCommand(const std::string& item);

// `groupCommand` followed by
//   [AddItem(<program, quoted when it holds a space>[ <parameters>],"<item>",
//            "<icon file>",<index> | ,,  [,,,"<working folder>"])]
// Raises an Exception naming the item when the text, measured in code page
// 936 (the Program Manager's own) with its terminating zero, would not fit
// in kItemCommandLimit: the command is never cut.
std::string AddItemCommand(const std::string& groupCommand, const std::string& filename,
                           const std::string& parameters, const std::string& item, const std::string& iconFile,
                           int iconIndex, const std::string& workingFolder);

}  // namespace qv

// The stand-in's groups and the command language of the Program Manager:
// an execute text is a run of bracketed commands, [Name(arg,arg,...)],
// each argument either plain text or in double quotes (commas and
// brackets inside quotes belong to the argument).
//
//   CreateGroup(name)      creates the group unless it exists; makes it active
//   ShowGroup(name,cmd)    makes an existing group active
//   AddItem(cmdline[,name[,iconfile[,index[,x,y[,folder...]]]]])
//                          adds an item to the active group, in the place
//                          of the item replaced last when there is one
//   ReplaceItem(name)      removes an item of the active group, keeping its place
//   DeleteItem(name)       removes an item of the active group
//   DeleteGroup(name)      removes a group with its items
//
// Names are compared without regard to case; a missing group or item, a
// missing active group, a malformed text or an unknown command makes the
// command fail.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "progman/stand_in_files.h"

namespace qv::progman {

struct Command {
    std::string Name;
    std::vector<std::string> Args;
};

// The commands of an execute text; nullopt when it is malformed.
std::optional<std::vector<Command>> ParseCommands(const std::string& text);

bool SameName(const std::string& a, const std::string& b);

class ProgramManager {
public:
    void Reset(std::vector<Group> groups);
    const std::vector<Group>& Groups() const { return groups_; }

    // Runs the commands in order; false at the first one that fails or is
    // named in `rejected` ("*" rejects all), the earlier ones kept.
    bool Execute(const std::vector<Command>& commands, const std::vector<std::string>& rejected);

    // The text of a request: "GROUPS" gives the group names, a group's
    // name its description (name, group file, item count, then one line
    // per item). Lines end in CR LF. Nullopt for any other item.
    std::optional<std::string> Describe(const std::string& item) const;

private:
    bool Run(const Command& command);
    Group* FindGroup(const std::string& name);
    std::vector<Item>::iterator FindItem(Group& group, const std::string& name);

    std::vector<Group> groups_;
    std::string active_;
    // Where ReplaceItem took an item out of the active group.
    std::optional<std::size_t> replacedAt_;
};

}  // namespace qv::progman

// Undoing Program Manager groups and items, for installations on the old
// shell. One conversation serves a whole undo run: it is opened at the
// first entry that needs it and ended with the object.
#pragma once

#include <string>

#include "engine/dde/dde_client.h"
#include "engine/dde/dde_owners.h"

namespace qv {

// Whether the Program Manager's description of a group (its reply to a
// request of the group's name) reports no items: the quoted name, the
// group file, then the item count, as in "\"Tools\",C:\WINDOWS\TOOLS.GRP,0".
// A description not of that shape counts as a group with items, which
// stays.
bool GroupDescriptionHasNoItems(const std::string& description);

class ProgmanItemRemover {
public:
    // Deletes `item` from `group`; with an empty `item`, deletes `group`
    // when it holds no items. Raises the DDE failures (EDdeError) as they
    // come; a rejected command raises nothing.
    void Remove(const std::string& group, const std::string& item);

private:
    HCONV Conversation();

    // Declared first, destroyed last: the string handle and the
    // conversation go before the instance.
    TDDE dde_;
    DdeStringOwner progman_;
    DdeConversationOwner conversation_;
};

}  // namespace qv

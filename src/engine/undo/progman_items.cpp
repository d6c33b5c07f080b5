#include "engine/undo/progman_items.h"

#include "engine/dde/request_text.h"

namespace qv {

bool GroupDescriptionHasNoItems(const std::string& description) {
    std::size_t at = std::string::npos;
    // Behind the name's quotes come the group file and the count, each
    // after a comma; a comma inside the quoted name is no separator.
    for (const char mark : {'"', '"', ',', ','}) {
        at = description.find(mark, at == std::string::npos ? 0 : at + 1);
        if (at == std::string::npos) return false;
    }
    return at + 1 < description.size() && description[at + 1] == '0';
}

HCONV ProgmanItemRemover::Conversation() {
    if (!conversation_) {
        if (dde_.Inst() == 0) dde_.Create();
        if (!progman_) progman_ = MakeStringHandle(dde_, "PROGMAN");
        conversation_.reset(dde_.Connect(progman_.get(), progman_.get()));
    }
    return conversation_.get();
}

void ProgmanItemRemover::Remove(const std::string& group, const std::string& item) {
    const HCONV conversation = Conversation();
    if (!item.empty()) {
        // One text: DeleteItem acts on the group ShowGroup made active.
        dde_.Execute(conversation, "[ShowGroup(\"" + group + "\",5)][DeleteItem(\"" + item + "\")]", true);
        return;
    }
    const DdeStringOwner groupName = MakeStringHandle(dde_, group);
    if (GroupDescriptionHasNoItems(RequestText(dde_, conversation, groupName.get())))
        dde_.Execute(conversation, "[DeleteGroup(\"" + group + "\")]", true);
}

}  // namespace qv

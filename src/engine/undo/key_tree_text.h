// The text form of a registry key tree, as KeyTreeText writes it into the
// undo list (rollback_entries.h) and the journal's records hold it as keys:
// one reader of that text for both, so that a rollback from the list and a
// recovery from the journal read the same tree out of the same text.
#pragma once

#include <string>
#include <vector>

#include "core/journal/journal_format.h"

namespace qv {

// The keys of the text, parents before their children, each with its
// values. A line that is no well-formed "K =<path>" or "V =<name> <type>
// =<data>" is left out, and so is a value line before any key line: the
// text comes from a file that may be damaged, and a line left out costs
// one key or value of the tree, never a value written to a wrong key.
std::vector<journal::RegTreeKey> KeyTreeOfText(const std::string& text);

// The text of the keys, which KeyTreeOfText reads back to the same keys.
std::string TextOfKeyTree(const std::vector<journal::RegTreeKey>& keys);

}  // namespace qv

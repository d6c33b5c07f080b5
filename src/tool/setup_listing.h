// `qvsetup list`: every field of the setup data, as JSON (names as in the
// build script, raw values beside them) or as indented text made from the
// same JSON, so that both always say the same.
#pragma once

#include <ostream>

#include <nlohmann/json.hpp>

#include "tool/setup_reader.h"

namespace qv::tool {

nlohmann::ordered_json SetupListing(const LoadedSetup& setup);
void PrintListingText(const nlohmann::ordered_json& listing, std::ostream& out);

}  // namespace qv::tool

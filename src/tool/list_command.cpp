#include "tool/read_commands.h"
#include "tool/setup_listing.h"

namespace qv::tool {

void RunList(const std::string& path, const SlOffsets& sl, bool json, std::ostream& out) {
    const LoadedSetup setup = LoadSetup(LocateSetup(path, sl));
    const nlohmann::ordered_json listing = SetupListing(setup);
    if (json) out << listing.dump(2) << "\n";
    else PrintListingText(listing, out);
}

}  // namespace qv::tool

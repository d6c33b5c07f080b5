// The commands over existing setup data: list, verify and extract.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

namespace qv::tool {

using SlOffsets = std::optional<std::pair<std::int64_t, std::int64_t>>;

void RunList(const std::string& path, const SlOffsets& sl, bool json, std::ostream& out);
// Prints a summary when all is sound; raises DamagedData naming the first
// damaged item otherwise.
void RunVerify(const std::string& path, const SlOffsets& sl, std::ostream& out, std::ostream& err, bool progress);
void RunExtract(const std::string& path, const SlOffsets& sl, const std::string& folder, std::ostream& out,
                std::ostream& err, bool progress);

}  // namespace qv::tool

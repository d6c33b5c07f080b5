// Checks of script texts before they become code page 936 in the setup data,
// with answers precise enough for an error message.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace qv::tool {

// What keeps a UTF-8 text out of the setup data, or nullopt when nothing
// does: invalid UTF-8, a NUL character, or a character that code page 936
// cannot hold (named, with its line when the text has several).
std::optional<std::string> TextProblem(const std::string& utf8);

// A licence or information text file: UTF-8, with an optional byte-order
// mark. Lines end in CR LF in the result, as the engine's Windows edit
// controls need. Throws std::runtime_error naming the problem.
std::string ReadTextFile(const std::filesystem::path& path);

}  // namespace qv::tool

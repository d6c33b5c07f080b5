// Shortening a path with "...\" so that it fits a width, as a path label
// shows it: C:\Program Files\App\File.txt -> C:\...\App\File.txt -> ...
#pragma once

#include <functional>
#include <string>

namespace qv {

// Removes the first folder of a folder text ending in a backslash and marks
// the gap with "...\": "\A\B\" -> "\...\B\", "\...\B\" -> "\...\",
// "...\" -> "", "\" -> "".
void DropFirstFolder(std::string& dir);

// The path shortened folder by folder until `textWidth` of it is at most
// `maxWidth`; a bare file name is never shortened (it may stay too wide).
std::string ShortenPathToWidth(const std::string& fileName, const std::function<int(const std::string&)>& textWidth,
                               int maxWidth);

}  // namespace qv

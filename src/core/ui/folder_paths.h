// The path arithmetic of the folder list: drive prefixes, the ancestor
// items of a folder, folder depth and the full path behind an item.
// Paths are UTF-8, where a backslash byte is always a separator (a
// double-byte character of code page 936 may hold 0x5C as its second
// byte, but its UTF-8 form never does).
#pragma once

#include <string>
#include <vector>

namespace qv {

// Kinds of folder-list items, also the index of their glyph.
enum TFolderKind : int {
    fkSubFolder = 0,  // a sub-folder of the current folder (closed folder)
    fkAncestor = 1,   // an ancestor of the current folder, the root included (open folder)
    fkCurrent = 2,    // the current folder
};

struct FolderItem {
    std::string Name;
    TFolderKind Kind;
};

// "C:" for "C:\WINDOWS", "\\SERVER\SHARE" for "\\SERVER\SHARE\DIR",
// empty for a path with neither.
std::string DrivePrefix(const std::string& path);

// Backslashes of the path with one appended when missing; a network path
// starts the count at -3, so that \\SERVER\SHARE\ is level 1 like C:\.
int FolderDepth(const std::string& path);

// The root, the ancestors and the current folder of `folderPath`, as the
// folder list shows them: C:\WINDOWS\SYSTEM -> C:\ (ancestor), WINDOWS
// (ancestor), SYSTEM (current).
std::vector<FolderItem> AncestorItems(const std::string& folderPath);

// The full path of item `index` of a folder list showing `folderPath`.
std::string FolderItemFullPath(const std::string& folderPath, int index, const FolderItem& item);

}  // namespace qv

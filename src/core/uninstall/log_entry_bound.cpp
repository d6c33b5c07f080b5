#include "core/uninstall/log_entry_bound.h"

#include <set>
#include <string>
#include <utility>

#include "core/text/path_strings.h"

namespace qv {

namespace {

// Distinct folders, compared as Windows compares names (ASCII letters
// without case), with the roots they hang from.
class FolderTally {
public:
    // Counts `path` and every folder above it up to its root: a directory
    // constant ("{app}"), a drive ("C:") or a server share.
    void Add(const std::string& path) {
        const std::string lower = LowerAscii(path);
        std::size_t start = 0;
        std::string root;
        if (!lower.empty() && lower[0] == '{') {
            const std::size_t close = lower.find('}');
            start = close == std::string::npos ? lower.size() : close + 1;
            root = lower.substr(0, start);
            // Whatever the constant stands for may be missing, level by level.
            constantRoots_.insert(root);
        } else if (lower.size() >= 2 && lower[1] == ':') {
            start = 2;
            root = lower.substr(0, 2);
        } else if (lower.compare(0, 2, "\\\\") == 0) {
            // \\server\share: the share itself is never created.
            std::size_t end = lower.find('\\', 2);
            end = end == std::string::npos ? lower.size() : lower.find('\\', end + 1);
            start = end == std::string::npos ? lower.size() : end;
            root = lower.substr(0, start);
        }
        std::string folder = root;
        while (start < lower.size()) {
            std::size_t end = lower.find('\\', start);
            if (end == std::string::npos) end = lower.size();
            if (end > start) {
                folder += '\\';
                folder.append(lower, start, end - start);
                folders_.insert(folder);
            }
            start = end + 1;
        }
    }

    std::uint64_t Count() const { return folders_.size() + constantRoots_.size() * kMostCreatedFolderLevels; }

private:
    std::set<std::string> folders_;
    std::set<std::string> constantRoots_;
};

// Distinct keys above the keys of registry entries, by root: each may be
// created by the entry and recorded for the uninstaller.
class ParentKeyTally {
public:
    void Add(std::uint32_t root, const std::string& subKey) {
        const std::string lower = LowerAscii(subKey);
        if (lower.find('{') != std::string::npos) {
            // Whatever the constant stands for may add levels, up to the deepest tree.
            if (keysWithConstants_.insert({root, lower}).second) count_ += kMostRegistryKeyLevels - 1;
            return;
        }
        for (std::size_t slash = lower.find('\\'); slash != std::string::npos; slash = lower.find('\\', slash + 1))
            if (slash > 0 && parents_.insert({root, lower.substr(0, slash)}).second) ++count_;
    }

    std::uint64_t Count() const { return count_; }

private:
    std::set<std::pair<std::uint32_t, std::string>> parents_;
    std::set<std::pair<std::uint32_t, std::string>> keysWithConstants_;
    std::uint64_t count_ = 0;
};

// The folder part of an icon's path, as the link's folder is taken from it.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

UninstallLogEntryCount MostUninstallLogEntries(const SetupData& data) {
    UninstallLogEntryCount count;
    const bool uninstallable = data.SetupInfo.Has(optUninstallable);
    if (uninstallable) count.Setup = 2;

    FolderTally folders;
    folders.Add("{app}");
    for (const TDirRec& dir : data.DirRecords)
        // Those the uninstaller leaves, or that go at the end of the run, stay out of the log.
        if (!(dir.Flags & (dfNoUninstall | dfRemoveAtEnd))) folders.Add(dir.DirName);

    // A new shell makes each link's folder and the link; an old one a
    // Program Manager group and an item per icon, never more.
    for (const TIconRec& icon : data.IconRecords) folders.Add(FolderOf(icon.IconPath));
    count.Icons = data.IconRecords.size();
    if (uninstallable) {
        folders.Add("{group}");
        ++count.Icons;
    }
    count.Folders = folders.Count();

    for (const TFileRec& file : data.FileRecords)
        // A shared file's count is recorded even when the file itself is not.
        if ((file.FileFlags & ffShared) || !(file.FileFlags & (ffUninstallData | ffNoUninstall))) ++count.Files;
    for (const TIniRec& ini : data.IniRecords)
        if (ini.Flags & (ifUninstDeleteKey | ifUninstDeleteSection)) ++count.IniEntries;
    ParentKeyTally parentKeys;
    for (const TRegistryRec& registry : data.RegistryRecords) {
        if (registry.Flags & (rfUninstDeleteValue | rfUninstDeleteKey | rfUninstEmptyDefault)) ++count.RegistryEntries;
        // An emptied default value leaves its key, and so the keys above it.
        if (registry.Flags & (rfUninstDeleteValue | rfUninstDeleteKey)) parentKeys.Add(registry.RootKey, registry.SubKey);
    }
    count.RegistryKeys = parentKeys.Count();
    count.UninstallDeletes = data.UninstallDeleteRecords.size();
    return count;
}

}  // namespace qv

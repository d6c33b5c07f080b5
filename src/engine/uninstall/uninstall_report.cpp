#include "engine/uninstall/uninstall_report.h"

#include <algorithm>

#include "core/text/path_strings.h"
#include "engine/common/exit_codes.h"
#include "engine/common/format_text.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/system_error_text.h"

namespace qv {

namespace {

std::string RegistryKeyText(const TChangeEntry& entry) {
    return RegistryRootUserText(entry.Flags) + "\\" + EntryString(entry, 0);
}

std::string IniFileText(const std::string& file) { return file.empty() ? std::string("WIN.INI") : file; }

// The lines of a list, cut at `maxItems` with the number of the rest.
std::string ListText(const std::vector<std::string>& items, std::size_t maxItems) {
    std::string text;
    const std::size_t shown = std::min(items.size(), maxItems);
    for (std::size_t i = 0; i < shown; ++i) text += items[i] + "\r\n";
    if (items.size() > shown) text += FormatText("……另有 %d 项\r\n", {static_cast<int>(items.size() - shown)});
    return text;
}

// The system's words for the error, with its number for a search.
std::string ErrorWords(unsigned long code) {
    if (code == 0) return "不能删除";
    const std::string words = SystemErrorText(code);
    const std::string number = FormatText("代码 %d", {static_cast<long>(code)});
    return words.empty() ? number : words + "（" + number + "）";
}

}  // namespace

std::string ChangeEntryObjectText(const TChangeEntry& entry) {
    const auto text = [&](std::size_t index) { return EntryString(entry, index); };
    switch (entry.Kind) {
    case ekFolder: return "文件夹 " + text(0);
    case ekFile: return "文件 " + text(0);
    case ekProgManItem:
        return text(1).empty() ? "程序组 " + text(0) : "程序组 " + text(0) + " 中的图标 " + text(1);
    case ekIniKey: return IniFileText(text(0)) + " 中 [" + text(1) + "] 的 " + text(2);
    case ekIniSection: return IniFileText(text(0)) + " 中的 [" + text(1) + "]";
    case ekRegKeyTree:
    case ekRegKeyIfEmpty: return "注册表键 " + RegistryKeyText(entry);
    case ekRegDefaultValue: return "注册表键 " + RegistryKeyText(entry) + " 的默认值";
    case ekRegValue: return "注册表键 " + RegistryKeyText(entry) + " 中的值 " + text(1);
    default: return FormatText("类型 %d 的项目", {static_cast<int>(entry.Kind)});
    }
}

void TUninstallReport::EntryUndone(const TUndoEntryResult& result) {
    const TChangeEntry& entry = result.Entry;
    if (entry.Kind == ekFolder) recordedFolders_.push_back(StripBackslashKeepRoot(EntryString(entry, 0)));
    switch (result.Outcome) {
    case TUndoOutcome::Failed:
        Failed(ChangeEntryObjectText(entry),
               result.UserReason.empty() ? ErrorWords(result.ErrorCode) : result.UserReason);
        break;
    case TUndoOutcome::AtRestart: atRestart_.push_back(EntryString(entry, 0)); break;
    case TUndoOutcome::Undone:
    case TUndoOutcome::PassedOver: break;
    }
    if (OnEntry) OnEntry(result);
}

void TUninstallReport::NotActedOn(const TChangeEntry& entry, const std::string& why) {
    Failed(ChangeEntryObjectText(entry), why);
}

void TUninstallReport::Failed(const std::string& what, const std::string& why) { failures_.push_back({what, why}); }

void TUninstallReport::CollectKeptFolders() {
    keptFolders_.clear();
    for (const std::string& folder : recordedFolders_) {
        const bool goesAtRestart = std::any_of(atRestart_.begin(), atRestart_.end(), [&](const std::string& path) {
            return SameTextAscii(StripBackslashKeepRoot(path), folder);
        });
        if (!goesAtRestart && FolderExists(folder) &&
            std::find(keptFolders_.begin(), keptFolders_.end(), folder) == keptFolders_.end())
            keptFolders_.push_back(folder);
    }
}

unsigned TUninstallReport::ExitCode() const {
    if (!failures_.empty()) return exit_code::FatalError;
    if (!atRestart_.empty()) return exit_code::RestartRequired;
    return exit_code::Success;
}

std::string TUninstallReport::MessageText(const std::string& appName, std::size_t maxItems) const {
    std::string text;
    if (failures_.empty()) {
        text = FormatText("“%s”已经从计算机中删除。", {appName});
    } else {
        std::vector<std::string> lines;
        for (const Remaining& item : failures_) lines.push_back(item.What + "：" + item.Why);
        text = FormatText("“%s”的反安装没有全部完成。下面的项目不能删除：\r\n\r\n", {appName}) +
               ListText(lines, maxItems);
    }
    if (!atRestart_.empty())
        text += "\r\n\r\n下面的项目正在使用，将在重新启动计算机后删除：\r\n" + ListText(atRestart_, maxItems);
    if (!keptFolders_.empty())
        text += "\r\n\r\n下面的文件夹中还有其它文件，因此没有删除：\r\n" + ListText(keptFolders_, maxItems);
    // The lists end in a line break; the box needs none at its end.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace qv

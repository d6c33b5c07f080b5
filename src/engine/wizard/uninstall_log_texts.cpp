#include "engine/wizard/uninstall_log_texts.h"

#include <algorithm>
#include <exception>

#include "core/text/cp936.h"
#include "engine/common/app_msg_box.h"

namespace qv {

namespace {

// The length of the UTF-8 sequence that `lead` begins; 1 for a byte that
// begins none, so that a damaged text is still walked through.
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

bool HasCp936Form(const std::string& text) { return cp936::FromUtf8(text).has_value(); }

// The texts of one install run, each expanded as its step will expand it.
class LogTexts {
public:
    explicit LogTexts(const DirConstantValues& folders) : folders_(folders) {}

    void AddExpanded(const std::string& recorded) {
        try {
            texts_.push_back(ExpandDirConstants(recorded, folders_));
        } catch (const std::exception&) {
            // The step that meets it reports the constant.
        }
    }
    void Add(const std::string& text) { texts_.push_back(text); }
    std::vector<std::string> Take() { return std::move(texts_); }

private:
    const DirConstantValues& folders_;
    std::vector<std::string> texts_;
};

}  // namespace

std::string CharsOutsideCp936(const std::string& text) {
    std::string listed;
    std::vector<std::string> seen;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = std::min(SequenceLength(static_cast<unsigned char>(text[at])), text.size() - at);
        const std::string character = text.substr(at, length);
        at += length;
        if (HasCp936Form(character) || std::find(seen.begin(), seen.end(), character) != seen.end()) continue;
        seen.push_back(character);
        if (!listed.empty()) listed += ' ';
        listed += character;
    }
    return listed;
}

std::vector<std::string> UninstallLogTexts(const SetupData& data, const DirConstantValues& folders, bool noIcons) {
    if (!data.SetupInfo.Has(optUninstallable)) return {};
    LogTexts texts(folders);
    // The log itself and its placeholder lie in the application folder.
    texts.Add(folders.App);
    for (const TDirRec& dir : data.DirRecords)
        if ((dir.Flags & (dfNoUninstall | dfRemoveAtEnd)) == 0) texts.AddExpanded(dir.DirName);
    for (const TFileRec& file : data.FileRecords)
        if ((file.FileFlags & (ffUninstallData | ffNoUninstall)) == 0) texts.AddExpanded(file.DestPath);
    if (!noIcons) {
        // The group's folder (its name on the old shell) also holds the
        // uninstall icon, which has no record.
        texts.AddExpanded("{group}");
        for (const TIconRec& icon : data.IconRecords) texts.AddExpanded(icon.IconPath);
    }
    for (const TIniRec& ini : data.IniRecords) {
        if ((ini.Flags & (ifUninstDeleteKey | ifUninstDeleteSection)) == 0) continue;
        texts.AddExpanded(ini.Filename);
        texts.AddExpanded(ini.Section);
        if (ini.Flags & ifUninstDeleteKey) texts.AddExpanded(ini.Entry);
    }
    for (const TRegistryRec& reg : data.RegistryRecords) {
        if ((reg.Flags & (rfUninstDeleteValue | rfUninstDeleteKey | rfUninstEmptyDefault)) == 0) continue;
        texts.AddExpanded(reg.SubKey);
        if (reg.Flags & rfUninstDeleteValue) texts.AddExpanded(reg.ValueName);
    }
    for (const TUninstallDeleteRec& rec : data.UninstallDeleteRecords) texts.AddExpanded(rec.Name);
    return texts.Take();
}

bool CheckUninstallLogTexts(const SetupData& data, const DirConstantValues& folders, bool noIcons) {
    for (const std::string& text : UninstallLogTexts(data, folders, noIcons)) {
        if (HasCp936Form(text)) continue;
        AppMsgBoxFmt("下面的位置含有简体中文字符集以外的字符（%s），无法记入反安装信息，设置程序不能安装：\r\n\r\n%s",
                     {CharsOutsideCp936(text), text}, "", mbtError, MB_OK);
        return false;
    }
    return true;
}

}  // namespace qv

#include "engine/common/ini_profile_cp936.h"

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <vector>

#include "core/text/cp936.h"
#include "engine/common/ini_files.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

// `bytes` as the system's ANSI code page reads them; nullopt when that code
// page finds no character in them.
std::optional<std::wstring> AnsiToWide(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(),
                                           static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                        length);
    return wide;
}

std::optional<std::string> WideToAnsi(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, &lossy);
    if (length <= 0 || lossy) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                        length, nullptr, nullptr);
    return bytes;
}

// The ANSI functions turn their texts into UTF-16 and the file's bytes back
// through the ANSI code page: the bytes arrive only when both ways keep them.
bool SurvivesAnsiCodePage(const std::string& bytes) {
    const std::optional<std::wstring> wide = AnsiToWide(bytes);
    if (!wide) return false;
    const std::optional<std::string> back = WideToAnsi(*wide);
    return back && *back == bytes;
}

// The short name of an existing file when the ANSI code page holds it
// whole, for the ANSI functions; nullopt otherwise.
std::optional<std::string> AnsiShortName(const std::string& fileName) {
    if (fileName.empty()) return std::nullopt;
    const std::wstring wide = Widen(fileName);
    const DWORD length = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (length == 0) return std::nullopt;
    std::wstring shortName(length, L'\0');
    const DWORD got = GetShortPathNameW(wide.c_str(), shortName.data(), length);
    if (got == 0 || got >= length) return std::nullopt;
    shortName.resize(got);
    const std::optional<std::string> bytes = WideToAnsi(shortName);
    if (!bytes) return std::nullopt;
    const std::optional<std::wstring> back = AnsiToWide(*bytes);
    if (!back || *back != shortName) return std::nullopt;
    return bytes;
}

struct Cp936Texts {
    std::string Section, Key, Value, FileName;
};

std::optional<Cp936Texts> EncodeForAnsiFunctions(const std::string& section, const std::string& key,
                                                 const std::string& value, const std::string& fileName) {
    Cp936Texts texts;
    const std::initializer_list<std::pair<const std::string*, std::string*>> fields = {
        {&section, &texts.Section}, {&key, &texts.Key}, {&value, &texts.Value}, {&fileName, &texts.FileName}};
    for (const auto& [utf8, bytes] : fields) {
        std::optional<std::string> encoded = cp936::FromUtf8(*utf8);
        if (!encoded || !SurvivesAnsiCodePage(*encoded)) return std::nullopt;
        *bytes = std::move(*encoded);
    }
    // A file name is not kept as bytes but opened: it must name the same
    // file. One the ANSI code page cannot name may still be reached by its
    // short name.
    const std::optional<std::wstring> fileAsOpened = AnsiToWide(texts.FileName);
    if (!fileAsOpened || *fileAsOpened != Widen(fileName)) {
        const std::optional<std::string> shortName = AnsiShortName(fileName);
        if (!shortName) return std::nullopt;
        texts.FileName = *shortName;
    }
    return texts;
}

}  // namespace

bool IniTextsFitCp936(const std::string& section, const std::string& key, const std::string& value,
                      const std::string& fileName) {
    return EncodeForAnsiFunctions(section, key, value, fileName).has_value();
}

bool WriteIniValueCp936(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& fileName) {
    // A file that is still to be made is made empty first, so that it has a
    // short name if its long one cannot be given to the ANSI functions.
    std::optional<Cp936Texts> texts = EncodeForAnsiFunctions(section, key, value, fileName);
    if (!texts && !fileName.empty() && EncodeForAnsiFunctions(section, key, value, "") &&
        GetFileAttributesW(Widen(fileName).c_str()) == INVALID_FILE_ATTRIBUTES) {
        const UniqueHFile made(CreateFileW(Widen(fileName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (made) texts = EncodeForAnsiFunctions(section, key, value, fileName);
    }
    if (!texts) return WriteIniValue(section, key, value, fileName);
    if (fileName.empty())
        return WriteProfileStringA(texts->Section.c_str(), texts->Key.c_str(), texts->Value.c_str()) != FALSE;
    return WritePrivateProfileStringA(texts->Section.c_str(), texts->Key.c_str(), texts->Value.c_str(),
                                      texts->FileName.c_str()) != FALSE;
}

void RemoveIniEntryCp936(const std::string& section, const std::string* key, const std::string& fileName) {
    if (const std::optional<Cp936Texts> texts = EncodeForAnsiFunctions(section, key ? *key : "", "", fileName)) {
        const char* keyName = key ? texts->Key.c_str() : nullptr;
        if (fileName.empty())
            WriteProfileStringA(texts->Section.c_str(), keyName, nullptr);
        else
            WritePrivateProfileStringA(texts->Section.c_str(), keyName, nullptr, texts->FileName.c_str());
        return;
    }
    const std::wstring wideSection = Widen(section);
    const std::wstring wideKey = key ? Widen(*key) : std::wstring();
    const wchar_t* keyName = key ? wideKey.c_str() : nullptr;
    if (fileName.empty())
        WriteProfileStringW(wideSection.c_str(), keyName, nullptr);
    else
        WritePrivateProfileStringW(wideSection.c_str(), keyName, nullptr, Widen(fileName).c_str());
}

bool IniSectionHasNoKeysCp936(const std::string& section, const std::string& fileName) {
    // The key names, each ending in a zero; the first character alone tells
    // whether there is any.
    if (const std::optional<Cp936Texts> texts = EncodeForAnsiFunctions(section, "", "", fileName)) {
        char names[256] = {};
        if (fileName.empty())
            GetProfileStringA(texts->Section.c_str(), nullptr, nullptr, names, 256);
        else
            GetPrivateProfileStringA(texts->Section.c_str(), nullptr, nullptr, names, 256, texts->FileName.c_str());
        return names[0] == '\0';
    }
    wchar_t names[256] = {};
    const std::wstring wideSection = Widen(section);
    if (fileName.empty())
        GetProfileStringW(wideSection.c_str(), nullptr, nullptr, names, 256);
    else
        GetPrivateProfileStringW(wideSection.c_str(), nullptr, nullptr, names, 256, Widen(fileName).c_str());
    return names[0] == L'\0';
}

}  // namespace qv

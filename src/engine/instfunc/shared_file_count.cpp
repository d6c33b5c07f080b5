#include "engine/instfunc/shared_file_count.h"

#include <limits>

#include "core/errors.h"
#include "engine/common/format_text.h"
#include "engine/common/registry.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

// Up to 4 bytes of a binary or DWORD value, low byte first; a value that
// holds more does not fit.
std::optional<std::int32_t> LowBytesFirst(const std::vector<BYTE>& data) {
    if (data.size() > 4) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < data.size(); ++i) value |= std::uint32_t{data[i]} << (8 * i);
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ReadDecimalText(HKEY key, const std::string& name) {
    std::string text;
    if (!RegReadString(key, name, text)) return std::nullopt;
    try {
        return StrToInt(text);
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

}  // namespace

UniqueHKey OpenSharedDllsKey() {
    UniqueHKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Widen(kSharedDllsKeyPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        throw Exception(FormatText("打开注册表出错: %s", {kSharedDllsKeyPath}));
    return key;
}

TStoredSharedCount ReadSharedFileCount(HKEY key, const std::string& filePath) {
    TStoredSharedCount stored;
    TRegRawValue raw;
    if (RegReadRawValue(key, filePath, raw) != ERROR_SUCCESS) return stored;
    stored.Exists = true;
    switch (raw.Type) {
    case REG_SZ: stored.Count = ReadDecimalText(key, filePath); break;
    case REG_BINARY:
        if (!raw.Data.empty()) stored.Count = LowBytesFirst(raw.Data);
        break;
    case REG_DWORD: stored.Count = LowBytesFirst(raw.Data); break;
    default: break;
    }
    if (stored.Count) stored.Type = raw.Type;
    return stored;
}

bool WriteSharedFileCount(HKEY key, const std::string& filePath, std::int32_t count, DWORD type) {
    const std::wstring name = Widen(filePath);
    if (type == REG_SZ) {
        // Widened from the narrow digits: std::to_wstring formats through
        // the wide printf, a whole formatting engine for one number.
        const std::string digits = std::to_string(count);
        const std::wstring text(digits.begin(), digits.end());
        return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    const std::uint32_t value = static_cast<std::uint32_t>(count);
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                           static_cast<BYTE>(value >> 24)};
    return RegSetValueExW(key, name.c_str(), 0, type == REG_BINARY ? REG_BINARY : REG_DWORD, bytes,
                          sizeof bytes) == ERROR_SUCCESS;
}

void RaiseSharedFileCount(const std::string& filePath, bool wasPresent) {
    const UniqueHKey key = OpenSharedDllsKey();
    const TStoredSharedCount stored = ReadSharedFileCount(key.get(), filePath);
    std::int32_t count = stored.Count.value_or(0);
    if (count < 0) count = 0;
    if (count == 0 && wasPresent) count = 1;
    // A count at the top of its range stays there rather than turning negative.
    if (count < std::numeric_limits<std::int32_t>::max()) ++count;
    // Not examined: the key has just been opened for writing.
    WriteSharedFileCount(key.get(), filePath, count, stored.Type);
}

}  // namespace qv

#include "engine/dde/request_text.h"

#include <algorithm>

#include "core/scope_exit.h"
#include "engine/common/win_text.h"

namespace qv {

std::string DdeReplyText(const BYTE* data, DWORD size, UINT format) {
    if (format == CF_UNICODETEXT) {
        const auto* begin = reinterpret_cast<const wchar_t*>(data);
        const wchar_t* end = begin + size / sizeof(wchar_t);
        return Narrow(begin, static_cast<std::size_t>(std::find(begin, end, L'\0') - begin));
    }
    const auto* begin = reinterpret_cast<const char*>(data);
    const int length = static_cast<int>(std::find(begin, begin + size, '\0') - begin);
    if (length == 0) return {};
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, begin, length, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, begin, length, wide.data(), static_cast<int>(wide.size()));
    return Narrow(wide);
}

namespace {

std::string RequestIn(TDDE& dde, HCONV conversation, HSZ item, UINT format) {
    HDDEDATA handle = nullptr;
    const BYTE* data = nullptr;
    DWORD size = 0;
    // A request's data handle belongs to the client, which may free it
    // at once instead of leaving it to the instance.
    const ScopeExit freeData([&] {
        if (handle) DdeFreeDataHandle(handle);
    });
    dde.Request(conversation, item, format, handle, data, size);
    const ScopeExit unaccess([&] { dde.UnaccessData(handle); });
    return DdeReplyText(data, size, format);
}

}  // namespace

std::string RequestText(TDDE& dde, HCONV conversation, HSZ item) {
    try {
        return RequestIn(dde, conversation, item, CF_UNICODETEXT);
    } catch (const EDdeError& error) {
        if (error.Code() != DMLERR_NOTPROCESSED) throw;
    }
    return RequestIn(dde, conversation, item, CF_TEXT);
}

}  // namespace qv

#include "engine/dde/dde_client.h"

#include <cwchar>

#include "engine/common/format_text.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

// A client only: the library has nothing for it that needs an answer.
HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

EDdeError Failure(const char* format, UINT code) { return EDdeError(FormatText(format, {code}), code); }

}  // namespace

void TDDE::Create() {
    if (inst_ != 0) throw EProgramFault("TDDE::Create on an initialised instance");
    DWORD inst = 0;
    const UINT result = DdeInitializeW(&inst, DdeCallback, APPCMD_CLIENTONLY, 0);
    if (result != DMLERR_NO_ERROR) throw Failure("DDE: 不能初始化 DDE (代码: %d)", result);
    inst_ = inst;
}

void TDDE::Destroy() noexcept {
    if (inst_ == 0) return;
    DdeUninitialize(inst_);
    inst_ = 0;
}

UINT TDDE::LastError() const noexcept { return inst_ != 0 ? DdeGetLastError(inst_) : DMLERR_INVALIDPARAMETER; }

HSZ TDDE::CreateStringHandle(const std::string& text) {
    const HSZ handle = inst_ != 0 ? DdeCreateStringHandleW(inst_, Widen(text).c_str(), CP_WINUNICODE) : nullptr;
    if (!handle) throw EDdeError("DDE: 不能建立字串句柄", 0);
    return handle;
}

void TDDE::FreeStringHandle(HSZ& handle) noexcept {
    if (handle && inst_ != 0) DdeFreeStringHandle(inst_, handle);
    handle = nullptr;
}

HCONV TDDE::Connect(HSZ service, HSZ topic) {
    const HCONV conversation = inst_ != 0 ? DdeConnect(inst_, service, topic, nullptr) : nullptr;
    if (!conversation) throw Failure("DDE: 不能建立DDE连接 (代码: %d)", LastError());
    return conversation;
}

void TDDE::Disconnect(HCONV& conversation) noexcept {
    if (conversation) DdeDisconnect(conversation);
    conversation = nullptr;
}

bool TDDE::Execute(HCONV conversation, const std::string& command, bool ignoreNotProcessed) {
    std::wstring text = Widen(command);
    text.resize(std::wcslen(text.c_str()));
    // The outcome is read from the instance's last error, so an error left
    // over from an earlier call must not stand for this transaction's.
    LastError();
    const HDDEDATA result =
        DdeClientTransaction(reinterpret_cast<LPBYTE>(text.data()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), conversation, nullptr, 0,
                             XTYP_EXECUTE, kDdeTimeoutMs, nullptr);
    UINT error = LastError();
    // Some libraries refuse a conversation handle that is gone or was
    // never one without saying why: that is a failed execute too.
    if (error == DMLERR_NO_ERROR && !result) error = DMLERR_INVALIDPARAMETER;
    if (error == DMLERR_NO_ERROR) return true;
    if (error == DMLERR_NOTPROCESSED) {
        if (ignoreNotProcessed) return false;
        throw EDdeError("DDE: 命令未成功", error);
    }
    throw Failure("DDE: 执行处理过程时出错 (代码: %d)", error);
}

void TDDE::Request(HCONV conversation, HSZ item, UINT format, HDDEDATA& dataHandle, const BYTE*& data,
                   DWORD& dataSize) {
    data = nullptr;
    dataSize = 0;
    dataHandle = DdeClientTransaction(nullptr, 0, conversation, item, format, XTYP_REQUEST, kDdeTimeoutMs, nullptr);
    if (!dataHandle) throw Failure("DDE: 请求处理时出错 (代码: %d)", LastError());
    data = DdeAccessData(dataHandle, &dataSize);
    if (!data) {
        dataSize = 0;
        throw Failure("DDE: 通道数据出错 (代码: %d)", LastError());
    }
}

void TDDE::UnaccessData(HDDEDATA dataHandle) noexcept {
    if (dataHandle) DdeUnaccessData(dataHandle);
}

}  // namespace qv

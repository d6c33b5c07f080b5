// The client side of a DDE conversation with the Program Manager, over the
// Windows DDE management library (DDEML). Create, CreateStringHandle,
// Connect, Execute and Request raise an EDdeError carrying the text the
// user sees; the other methods never fail.
//
// The instance is a Unicode one: string handles and command texts travel
// as UTF-16. A server whose windows take ANSI text (the Program Manager of
// the old shell) receives each command converted by the library to that
// system's code page, which is the code page that server reads its group
// and item names in; so a Chinese name arrives whole wherever the server
// can hold it at all, and unchanged at a Unicode server.
//
// Calling order: Create; CreateStringHandle("PROGMAN"); Connect(that
// handle, the same handle); any number of Execute and Request /
// UnaccessData; Disconnect, FreeStringHandle for every handle made,
// Destroy. The owners of dde_owners.h do the closing steps at scope end.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <string>

#include "core/errors.h"

namespace qv {

// Every transaction gives up after this long.
constexpr DWORD kDdeTimeoutMs = 7500;

// A failed DDE step. Code() is the DDEML's error code or result, 0 for the
// one text that has none ("DDE: 不能建立字串句柄").
class EDdeError : public Exception {
public:
    EDdeError(const std::string& message, UINT code) : Exception(message), code_(code) {}
    UINT Code() const noexcept { return code_; }

private:
    UINT code_;
};

class TDDE {
public:
    TDDE() noexcept = default;
    ~TDDE() { Destroy(); }
    TDDE(const TDDE&) = delete;
    TDDE& operator=(const TDDE&) = delete;

    // Initialises the client instance: "DDE: 不能初始化 DDE (代码: %d)"
    // with the library's result, and Inst() stays 0. Calling it on an
    // initialised object is a fault of the caller (EProgramFault).
    void Create();
    // Uninitialises the instance, which frees whatever handles of it are
    // left; does nothing when Inst() is 0.
    void Destroy() noexcept;
    // The DDEML instance identifier, 0 when not initialised.
    DWORD Inst() const noexcept { return inst_; }

    // "DDE: 不能建立字串句柄" when the library gives no handle (no
    // instance, or a text longer than 255 characters).
    HSZ CreateStringHandle(const std::string& text);
    // Frees the handle and sets it to 0; a 0 handle is left alone.
    void FreeStringHandle(HSZ& handle) noexcept;

    // "DDE: 不能建立DDE连接 (代码: %d)" when no server takes the
    // conversation (none running, or it refuses the topic).
    HCONV Connect(HSZ service, HSZ topic);
    // Ends the conversation and sets it to 0; a 0 conversation is left alone.
    void Disconnect(HCONV& conversation) noexcept;

    // Sends the command text, with its terminating zero, and waits up to
    // kDdeTimeoutMs for the answer. True when the server processed it.
    // A rejected command gives false when `ignoreNotProcessed`, otherwise
    // "DDE: 命令未成功"; any other failure, the time-out included, raises
    // "DDE: 执行处理过程时出错 (代码: %d)". The text ends at its first zero.
    bool Execute(HCONV conversation, const std::string& command, bool ignoreNotProcessed);

    // Requests `item` in `format` and waits up to kDdeTimeoutMs. No data:
    // "DDE: 请求处理时出错 (代码: %d)"; data that cannot be reached:
    // "DDE: 通道数据出错 (代码: %d)". On success the reply's bytes stay
    // accessible until UnaccessData(dataHandle); the handle itself goes
    // with the instance (or earlier through DdeFreeDataHandle).
    void Request(HCONV conversation, HSZ item, UINT format, HDDEDATA& dataHandle, const BYTE*& data,
                 DWORD& dataSize);
    void UnaccessData(HDDEDATA dataHandle) noexcept;

private:
    UINT LastError() const noexcept;

    DWORD inst_ = 0;
};

}  // namespace qv

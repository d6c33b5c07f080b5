// A self-registering library (a COM server, an ActiveX control) registers
// itself: its "DllRegisterServer" is called once it is in place.
#pragma once

#include <windows.h>

#include <string>

namespace qv {

// How far one call got.
enum class TSelfRegisterStage {
    NotLoaded,   // the file did not load as a library
    NoExport,    // it loaded but has no "DllRegisterServer"
    Failed,      // the call returned a negative status
    Registered,  // the call returned a status of 0 or more
};

struct TSelfRegisterOutcome {
    TSelfRegisterStage Stage = TSelfRegisterStage::NotLoaded;
    HRESULT Result = 0;  // what the call returned, once it was made
};

// Loads `fileName`, calls its "DllRegisterServer" and frees it again.
TSelfRegisterOutcome CallDllRegisterServer(const std::string& fileName);

// The reason shown for an outcome short of Registered: "引导库文件出错。",
// "DLL注册服务输出未发现。" or "DLL注册服务返回 <status>".
std::string SelfRegisterFailureReason(const TSelfRegisterOutcome& outcome);

// Registers `fileName`; when that fails the user may retry, go on without
// it, or cancel the installation (EAbort).
void SelfRegisterLibrary(const std::string& fileName);

}  // namespace qv

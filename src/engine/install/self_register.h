// A self-registering library (a COM server, an ActiveX control) registers
// itself: its "DllRegisterServer" is called once it is in place.
#pragma once

#include <string>

#include "engine/instfunc/library_registration.h"

namespace qv {

// Calls the "DllRegisterServer" of `fileName` in a child process, where a
// library that crashes harms nothing of the installation.
TSelfRegisterOutcome CallDllRegisterServer(const std::string& fileName);

// The reason shown for an outcome short of Registered: "引导库文件出错。",
// "DLL注册服务输出未发现。", "DLL注册服务返回 <status>", or the words for a
// crash or a child that did not start.
std::string SelfRegisterFailureReason(const TSelfRegisterOutcome& outcome);

// Registers `fileName`; when that fails the user may retry, go on without
// it, or cancel the installation (EAbort).
void SelfRegisterLibrary(const std::string& fileName);

}  // namespace qv

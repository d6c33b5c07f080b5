#include "engine/install/self_register.h"

#include "core/errors.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/system_library.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

TSelfRegisterOutcome CallDllRegisterServer(const std::string& fileName) {
    TSelfRegisterOutcome outcome;
    // Whatever goes wrong on the way leaves the outcome at the stage it reached.
    try {
        // A file that is no library must not make Windows show a box of its own.
        const ScopedErrorMode quiet(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        const UniqueHModule library(LibraryAtPath(Widen(fileName)));
        if (!library) return outcome;
        outcome.Stage = TSelfRegisterStage::NoExport;
        using RegisterProc = HRESULT(STDAPICALLTYPE*)();
        const auto registerServer = reinterpret_cast<RegisterProc>(
            reinterpret_cast<void*>(GetProcAddress(library.get(), "DllRegisterServer")));
        if (!registerServer) return outcome;
        outcome.Stage = TSelfRegisterStage::Failed;
        outcome.Result = registerServer();
        if (outcome.Result >= 0) outcome.Stage = TSelfRegisterStage::Registered;
    } catch (...) {
    }
    return outcome;
}

std::string SelfRegisterFailureReason(const TSelfRegisterOutcome& outcome) {
    switch (outcome.Stage) {
    case TSelfRegisterStage::NotLoaded: return "引导库文件出错。";
    case TSelfRegisterStage::NoExport: return "DLL注册服务输出未发现。";
    case TSelfRegisterStage::Failed:
    case TSelfRegisterStage::Registered: break;
    }
    return FormatText("DLL注册服务返回 %d", {static_cast<long>(outcome.Result)});
}

void SelfRegisterLibrary(const std::string& fileName) {
    for (;;) {
        const TSelfRegisterOutcome outcome = CallDllRegisterServer(fileName);
        if (outcome.Stage == TSelfRegisterStage::Registered) {
            LogLine("self-registered " + Quoted(fileName));
            return;
        }
        const std::string reason = SelfRegisterFailureReason(outcome);
        LogLine("self-registration of " + Quoted(fileName) + " failed: " + Quoted(reason));
        const std::string text = FormatText("%s\r\n不能注册DLL/OCX. (%s)", {fileName, reason}) + "\r\n\r\n" +
                                 "按<重试>再试，<忽略>继续(不推荐)，或按<取消>取消安装。";
        switch (AppMsgBox(text, "", mbtError, MB_ABORTRETRYIGNORE | MB_DEFBUTTON1)) {
        case IDRETRY: continue;
        case IDIGNORE: LogLine("left unregistered " + Quoted(fileName)); return;
        default: throw EAbort();
        }
    }
}

}  // namespace qv

#include "engine/install/self_register.h"

#include "core/errors.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/retry_question.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

TSelfRegisterOutcome CallDllRegisterServer(const std::string& fileName) {
    return CallLibraryInChild(fileName, TLibraryCall::Register);
}

std::string SelfRegisterFailureReason(const TSelfRegisterOutcome& outcome) {
    return LibraryCallFailureReason(outcome, TLibraryCall::Register);
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
        if (AskRetryIgnoreAbort(text, "", MB_DEFBUTTON1, {"", "left unregistered " + Quoted(fileName)}) ==
            TRetryAnswer::Ignore)
            return;
    }
}

}  // namespace qv

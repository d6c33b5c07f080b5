#include "engine/common/unattended.h"

#include <set>
#include <string>

#include "engine/common/install_log.h"

namespace qv {

namespace {

bool suppressed = false;

std::string& LastRule() {
    static std::string rule;
    return rule;
}

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

int Answered(int button, const char* rule) {
    LogLine(std::string("Unattended answer: ") + rule);
    LastRule() = rule;
    return button;
}

}  // namespace

void SetMessagesSuppressed(bool value) { suppressed = value; }
bool MessagesSuppressed() { return suppressed; }
const std::string& LastUnattendedRule() { return LastRule(); }

int UnattendedAnswer(const MsgBoxQuestion& q) {
    const UINT buttons = q.Flags & MB_TYPEMASK;
    const std::string& t = q.Text;
    if (Has(t, "系统已存在一个比设置程序将要安装的文件版本更新的文件"))
        return Answered(IDYES, "keep the newer existing file");
    if (Has(t, "文件已经存在 \r\n\r\n是否覆盖此文件？")) return Answered(IDNO, "keep the existing file");
    if (q.Caption == "文件夹已存在") return Answered(IDYES, "install into the existing folder");
    if (q.Caption == "没有足够的磁盘空间") return Answered(IDNO, "not enough free space: stop");
    if (Has(t, "文件属性为只读。")) {
        // The caption names the file: its attribute is cleared once; a file
        // that is read-only again is a failure, not a loop.
        static std::set<std::string> cleared;
        if (cleared.insert(q.Caption).second) return Answered(IDRETRY, "clear the read-only attribute once");
        return Answered(IDABORT, "the file stays read-only: fail the installation");
    }
    if (Has(t, "设置没有完成。")) return Answered(IDYES, "the user cancelled: leave the setup");
    if (Has(t, "共享文件")) return Answered(IDNO, "keep the shared file");
    if (q.Caption == "反安装" && Has(t, "及其所有组件吗？")) return Answered(IDYES, "remove the application as asked");
    switch (buttons) {
        case MB_OK: return Answered(IDOK, "OK");
        case MB_ABORTRETRYIGNORE: return Answered(IDABORT, "a retry question: fail the installation");
        case MB_RETRYCANCEL:
        case MB_OKCANCEL:
        case MB_YESNOCANCEL: return Answered(IDCANCEL, "an unknown question: cancel");
        case MB_YESNO: return Answered(IDNO, "an unknown question: no");
        default: return Answered(IDCANCEL, "an unknown question: cancel");
    }
}

}  // namespace qv

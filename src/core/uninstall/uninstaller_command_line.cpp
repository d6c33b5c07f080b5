#include "core/uninstall/uninstaller_command_line.h"

#include <cstddef>

#include "core/text/path_strings.h"

namespace qv {

std::string UninstallerUsage(const std::string& programName) {
    return programName + " /U \"占位文件\" \"日志文件\" [/SILENT | /VERYSILENT] [/SUPPRESSMSGBOXES] [/LOG[=文件]]";
}

namespace {

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

// Options of an unattended run; false for anything else.
bool ReadOption(const std::string& p, UninstallerOptions& o) {
    if (SameTextAscii(p, "/SILENT")) o.Silent = true;
    else if (SameTextAscii(p, "/VERYSILENT")) o.Silent = o.VerySilent = true;
    else if (SameTextAscii(p, "/SUPPRESSMSGBOXES")) o.SuppressMsgBoxes = true;
    else if (SameTextAscii(p, "/LOG")) o.LogRequested = true, o.LogFileName.clear();
    else if (StartsWithIgnoringCase(p, "/LOG=") && p.size() > 5) o.LogRequested = true, o.LogFileName = p.substr(5);
    else if (SameTextAscii(p, "/?") || SameTextAscii(p, "/HELP")) o.ShowHelp = true;
    else return false;
    return true;
}

// A file name of the /U form: a path, never an option or nothing.
bool IsFileName(const std::string& p) { return !p.empty() && p[0] != '/'; }

}  // namespace

UninstallerCommandLine ParseUninstallerCommandLine(const std::vector<std::string>& params) {
    UninstallerCommandLine result;
    UninstallerOptions& o = result.Options;
    bool haveFiles = false;
    const auto problem = [&](const std::string& text) {
        if (result.Problem.empty()) result.Problem = text;
    };
    for (std::size_t i = 0; i < params.size(); ++i) {
        const std::string& p = params[i];
        if (SameTextAscii(p, "/U")) {
            if (haveFiles) {
                problem("命令行中有两个 /U。");
                continue;
            }
            // Both names must follow: with one of them missing the other
            // could be taken for the log and the wrong file read.
            if (i + 2 >= params.size() || !IsFileName(params[i + 1]) || !IsFileName(params[i + 2])) {
                problem("/U 后面应是占位文件和日志文件的名字。");
                continue;
            }
            o.PlaceholderFile = params[i + 1];
            o.LogFile = params[i + 2];
            haveFiles = true;
            i += 2;
        } else if (!ReadOption(p, o)) {
            problem("不认识的参数：" + p);
        }
    }
    if (o.ShowHelp) {
        result.Problem.clear();
        return result;
    }
    if (!haveFiles) problem("缺少 /U 和要反安装的日志文件。");
    return result;
}

}  // namespace qv

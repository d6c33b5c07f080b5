#include "tool/sign_command.h"

#include <cstdlib>

#include "core/text/path_strings.h"
#include "tool/platform.h"
#include "tool/staged_output.h"
#include "tool/tool_errors.h"
#include "tool/uninstaller_file.h"

namespace qv::tool {

namespace {

// A path as one word of the shell that runs the command.
std::string ShellWord(const fs::path& path) {
    const std::string text = PathToUtf8(path);
#ifdef _WIN32
    return "\"" + text + "\"";
#else
    std::string word = "'";
    for (const char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
#endif
}

int RunInShell(const std::string& command) {
#ifdef _WIN32
    // cmd takes the outer quotes off a line that begins with one.
    const std::wstring wide = PathFromUtf8("\"" + command + "\"").wstring();
    return _wsystem(wide.c_str());
#else
    return std::system(command.c_str());
#endif
}

}  // namespace

SignedCopy::~SignedCopy() {
    std::error_code ignored;
    fs::remove(path_, ignored);
}

std::unique_ptr<SignedCopy> SignFile(const std::string& command, const fs::path& file, const fs::path& copyBeside,
                                     const std::string& what) {
    std::error_code error;
    auto copy = std::make_unique<SignedCopy>(UnusedNameBeside(copyBeside, ".signed"));
    std::string line = command;
    StringReplaceAll(line, "{in}", ShellWord(file));
    StringReplaceAll(line, "{out}", ShellWord(copy->Path()));
    const int status = RunInShell(line);
    if (status != 0)
        throw UsageError("the signing command ([setup] sign) failed on " + what + " (status " + std::to_string(status) +
                         "): " + line);
    if (!fs::is_regular_file(copy->Path(), error) || fs::file_size(copy->Path(), error) == 0)
        throw UsageError("the signing command ([setup] sign) wrote no file {out} for " + what + ": " + line);
    return copy;
}

std::unique_ptr<SignedCopy> SignCarriedUninstaller(BuildScript& script, const std::string& command) {
    for (std::size_t i = 0; i < script.Data.FileRecords.size(); ++i) {
        if (!IsUninstallerDest(script.Data.FileRecords[i].DestPath)) continue;
        std::error_code error;
        const fs::path temporary = fs::temp_directory_path(error) / script.Sources[i].Path.filename();
        auto copy = SignFile(command, script.Sources[i].Path, temporary, "the uninstaller " + script.Sources[i].AsWritten);
        script.Sources[i].Path = copy->Path();
        return copy;
    }
    return nullptr;
}

}  // namespace qv::tool

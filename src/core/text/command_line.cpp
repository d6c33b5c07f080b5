#include "core/text/command_line.h"

namespace qv {

std::string CommandLineTail(const std::string& commandLine) {
    std::size_t i = 0;
    bool quoted = false;
    for (; i < commandLine.size(); ++i) {
        if (commandLine[i] == '"') quoted = !quoted;
        else if (commandLine[i] == ' ' && !quoted) break;
    }
    while (i < commandLine.size() && commandLine[i] == ' ') ++i;
    return commandLine.substr(i);
}

std::size_t ExtractNextParam(const std::string& text, std::size_t pos, std::string& param) {
    // The text is zero-terminated in the engine: a NUL byte ends it here too.
    const auto at = [&](std::size_t i) -> unsigned char {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
    };
    param.clear();
    for (;;) {
        while (at(pos) >= 0x01 && at(pos) <= 0x20) ++pos;
        if (at(pos) == '"' && at(pos + 1) == '"') {
            pos += 2;
            continue;
        }
        break;
    }
    while (at(pos) > 0x20 && param.size() < kMaxParamLength) {
        if (at(pos) == '"') {
            ++pos;
            while (at(pos) != 0 && at(pos) != '"' && param.size() < kMaxParamLength) param += text[pos++];
            if (at(pos) == '"') ++pos;
        } else {
            param += text[pos++];
        }
    }
    return pos;
}

std::vector<std::string> SplitParams(const std::string& tail) {
    std::vector<std::string> params;
    std::size_t pos = 0;
    for (std::string param;;) {
        pos = ExtractNextParam(tail, pos, param);
        if (param.empty()) break;
        params.push_back(param);
    }
    return params;
}

}  // namespace qv

#include "engine/install/icon_title.h"

namespace qv {

namespace {

// Every replacement has a code page 936 form, so the uninstall log and the
// Program Manager of the old shell take the names whole.
std::string ReplaceTitleChars(const std::string& title, bool forFileName) {
    std::string result;
    bool opening = true;
    for (const char c : title) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"') {
            result += opening ? "“" : "”";
            opening = !opening;
        } else if (byte < 0x20) {
            result += ' ';
        } else if (forFileName && c == '\\') {
            result += "＼";
        } else if (forFileName && c == '/') {
            result += "／";
        } else if (forFileName && c == ':') {
            result += "：";
        } else if (forFileName && c == '*') {
            result += "＊";
        } else if (forFileName && c == '?') {
            result += "？";
        } else if (forFileName && c == '<') {
            result += "＜";
        } else if (forFileName && c == '>') {
            result += "＞";
        } else if (forFileName && c == '|') {
            result += "｜";
        } else {
            result += c;
        }
    }
    return result;
}

}  // namespace

std::string QuotedFieldTitle(const std::string& title) { return ReplaceTitleChars(title, false); }

std::string FileNameTitle(const std::string& title) { return ReplaceTitleChars(title, true); }

}  // namespace qv

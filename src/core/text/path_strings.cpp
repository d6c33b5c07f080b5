#include "core/text/path_strings.h"

#include "core/text/number_text.h"

namespace qv {

std::string AppendBackslash(const std::string& s) {
    if (s.empty() || s.back() == '\\') return s;
    return s + '\\';
}

std::string StripBackslash(const std::string& s) {
    if (!s.empty() && s.back() == '\\') return s.substr(0, s.size() - 1);
    return s;
}

std::string StripBackslashKeepRoot(const std::string& s) {
    if (s.size() < 2 || s[s.size() - 2] == ':') return s;
    return StripBackslash(s);
}

std::string ExtractFileDir(const std::string& path) {
    const auto pos = path.find_last_of("\\:");
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string ExtractFileName(const std::string& path) {
    const auto pos = path.find_last_of("\\:");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string ExtractFileDrive(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    return {};
}

std::string Trim(const std::string& s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && static_cast<unsigned char>(s[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= ' ') --end;
    return s.substr(begin, end - begin);
}

std::string QuoteIfSpaces(const std::string& s) {
    std::string t = Trim(s);
    const bool quoted = t.size() >= 2 && t.front() == '"' && t.back() == '"';
    if (t.find(' ') != std::string::npos && !quoted) return '"' + t + '"';
    return t;
}

void StringReplaceAll(std::string& s, const std::string& find, const std::string& replace) {
    if (find.empty()) return;
    for (std::size_t pos = s.find(find); pos != std::string::npos;
         pos = s.find(find, pos + replace.size())) {
        s.replace(pos, find.size(), replace);
    }
}

std::string SpaceOutChars(const std::string& set) {
    std::string out;
    for (char c : set) {
        if (c == ' ') continue;
        if (!out.empty()) out += ' ';
        out += c;
    }
    return out;
}

std::string Base32Digits(std::uint32_t value) {
    static const char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
    std::string digits(5, '0');
    for (int i = 4; i >= 0; --i, value >>= 5) digits[i] = kAlphabet[value & 31];
    return digits;
}

std::string MinorVersionText(int minor) {
    std::string text = SignedDigits(minor, 2);
    while (text.size() > 1 && text.back() == '0') text.pop_back();
    return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

bool SameTextAscii(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

}  // namespace qv

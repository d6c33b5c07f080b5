#include "testkit/install_log_file.h"

#include <gtest/gtest.h>

#include <regex>

#include "engine/common/install_log.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv::test {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
// "14:03:27.123" and two spaces; a continuation is indented as far.
constexpr std::size_t kPrefixSize = 14;

}  // namespace

ScopedInstallLog::ScopedInstallLog() : path_(folder_.file("setup log.txt")) {
    EXPECT_TRUE(OpenInstallLog(path_)) << path_;
}

ScopedInstallLog::~ScopedInstallLog() { CloseInstallLog(); }

std::string ScopedInstallLog::RawText() const {
    // Shared for writing: the log is still open for it.
    const UniqueHFile file(CreateFileW(Widen(path_).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(file) << path_;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (file && ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    return text;
}

std::vector<std::string> ScopedInstallLog::Records() const {
    std::string text = RawText();
    EXPECT_EQ(text.compare(0, 3, kByteOrderMark), 0) << "no byte order mark";
    text.erase(0, 3);
    static const std::regex timeOfDay(R"(\d\d:\d\d:\d\d\.\d\d\d  )");
    const std::string indent(kPrefixSize, ' ');
    std::vector<std::string> records;
    std::size_t at = 0;
    while (at < text.size()) {
        // A record ends in CR LF; its continuations may end in a bare LF.
        const std::size_t end = text.find('\n', at);
        EXPECT_NE(end, std::string::npos) << "the last line has no line break";
        if (end == std::string::npos) break;
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        at = end + 1;
        const std::string prefix = line.substr(0, kPrefixSize);
        if (std::regex_match(prefix, timeOfDay)) {
            records.push_back(line.substr(kPrefixSize));
        } else if (prefix == indent && !records.empty()) {
            records.back() += "\n" + line.substr(kPrefixSize);
        } else {
            ADD_FAILURE() << "not a line of the log: " << line;
        }
    }
    return records;
}

std::size_t FindRecord(const std::vector<std::string>& records, const std::string& part, std::size_t from) {
    for (std::size_t i = from; i < records.size(); ++i)
        if (records[i].find(part) != std::string::npos) return i;
    return records.size();
}

}  // namespace qv::test

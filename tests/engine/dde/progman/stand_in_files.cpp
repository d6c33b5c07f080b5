#include "progman/stand_in_files.h"

#include <windows.h>

#include <stdexcept>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv::progman {

namespace {

UniqueHFile OpenShared(const std::string& path, DWORD access, DWORD disposition) {
    UniqueHFile file(CreateFileW(Widen(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot open " + path + " (error " + std::to_string(GetLastError()) + ")");
    return file;
}

void WriteAll(const UniqueHFile& file, const std::string& path, const std::string& bytes) {
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw std::runtime_error("cannot write " + path);
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
    const UniqueHFile file = OpenShared(path, GENERIC_READ, OPEN_EXISTING);
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    WriteAll(OpenShared(path, GENERIC_WRITE, CREATE_ALWAYS), path, bytes);
}

void AppendToFile(const std::string& path, const std::string& bytes) {
    WriteAll(OpenShared(path, FILE_APPEND_DATA, OPEN_ALWAYS), path, bytes);
}

bool Item::operator==(const Item& other) const {
    return Name == other.Name && CommandLine == other.CommandLine && IconFile == other.IconFile &&
           IconIndex == other.IconIndex && WorkingFolder == other.WorkingFolder;
}

bool Group::operator==(const Group& other) const { return Name == other.Name && Items == other.Items; }

namespace {

std::string Escape(const std::string& field) {
    std::string out;
    for (const char c : field) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char c = field[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::string Line(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) out += (i ? "\t" : "") + Escape(fields[i]);
    return out + "\n";
}

std::vector<std::vector<std::string>> Lines(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::vector<std::string> fields;
        std::size_t from = start;
        for (;;) {
            const std::size_t tab = text.find('\t', from);
            if (tab == std::string::npos || tab > end) {
                fields.push_back(Unescape(text.substr(from, end - from)));
                break;
            }
            fields.push_back(Unescape(text.substr(from, tab - from)));
            from = tab + 1;
        }
        if (end > start) lines.push_back(std::move(fields));
        start = end + 1;
    }
    return lines;
}

const std::string& Field(const std::vector<std::string>& fields, std::size_t index) {
    if (index >= fields.size()) throw std::runtime_error("stand-in file: a line lacks field " + std::to_string(index));
    return fields[index];
}

void AddGroupLines(std::string& out, const std::vector<Group>& groups) {
    for (const Group& group : groups) {
        out += Line({"group", group.Name});
        for (const Item& item : group.Items)
            out += Line({"item", item.Name, item.CommandLine, item.IconFile, std::to_string(item.IconIndex),
                         item.WorkingFolder});
    }
}

// A "group" or "item" line into `groups`; false for any other line.
bool ReadGroupLine(const std::vector<std::string>& fields, std::vector<Group>& groups) {
    if (fields[0] == "group") {
        groups.push_back({Field(fields, 1), {}});
        return true;
    }
    if (fields[0] != "item") return false;
    if (groups.empty()) throw std::runtime_error("stand-in file: an item before any group");
    groups.back().Items.push_back(
        {Field(fields, 1), Field(fields, 2), Field(fields, 3), std::stoi(Field(fields, 4)), Field(fields, 5)});
    return true;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::vector<std::uint8_t> Unhex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

}  // namespace

std::string WriteControl(const Control& control) {
    const Behaviour& b = control.Behave;
    std::string out = Line({"ansi-windows", b.AnsiWindows ? "1" : "0"}) +
                      Line({"refuse-connect", b.RefuseConnect ? "1" : "0"}) +
                      Line({"text-requests-only", b.TextRequestsOnly ? "1" : "0"});
    for (const std::string& name : b.Reject) out += Line({"reject", name});
    for (const std::string& name : b.Hold) out += Line({"hold", name});
    AddGroupLines(out, control.Groups);
    return out;
}

Control ReadControl(const std::string& text) {
    Control control;
    Behaviour& b = control.Behave;
    for (const auto& fields : Lines(text)) {
        const std::string& key = fields[0];
        if (ReadGroupLine(fields, control.Groups)) continue;
        if (key == "ansi-windows") b.AnsiWindows = Field(fields, 1) == "1";
        else if (key == "refuse-connect") b.RefuseConnect = Field(fields, 1) == "1";
        else if (key == "text-requests-only") b.TextRequestsOnly = Field(fields, 1) == "1";
        else if (key == "reject") b.Reject.push_back(Field(fields, 1));
        else if (key == "hold") b.Hold.push_back(Field(fields, 1));
        else throw std::runtime_error("control file: unknown line \"" + key + "\"");
    }
    return control;
}

std::string WriteGroups(const std::vector<Group>& groups) {
    std::string out;
    AddGroupLines(out, groups);
    return out;
}

std::vector<Group> ReadGroups(const std::string& text) {
    std::vector<Group> groups;
    for (const auto& fields : Lines(text))
        if (!ReadGroupLine(fields, groups)) throw std::runtime_error("groups file: unknown line \"" + fields[0] + "\"");
    return groups;
}

std::string CommandText(const Transaction& execute) {
    const std::vector<std::uint8_t>& b = execute.Bytes;
    if (!execute.AnsiText) {
        std::wstring text;
        for (std::size_t i = 0; i + 1 < b.size() && (b[i] | b[i + 1]); i += 2)
            text += static_cast<wchar_t>(b[i] | b[i + 1] << 8);
        return Narrow(text);
    }
    std::string ansi;
    for (std::size_t i = 0; i < b.size() && b[i]; ++i) ansi += static_cast<char>(b[i]);
    if (ansi.empty()) return {};
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                                                   nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                        static_cast<int>(wide.size()));
    return Narrow(wide);
}

std::string WriteTransaction(const Transaction& t) {
    if (t.Kind == "connect") return Line({t.Kind, t.Service, t.Topic, t.Outcome});
    if (t.Kind == "execute") return Line({t.Kind, t.AnsiText ? "ansi" : "utf16", Hex(t.Bytes), t.Outcome});
    if (t.Kind == "request") return Line({t.Kind, t.Item, std::to_string(t.Format), t.Outcome});
    return Line({t.Kind});
}

std::vector<Transaction> ReadTransactions(const std::string& text) {
    std::vector<Transaction> transactions;
    for (const auto& fields : Lines(text)) {
        Transaction t;
        t.Kind = fields[0];
        if (t.Kind == "connect") {
            t.Service = Field(fields, 1);
            t.Topic = Field(fields, 2);
            t.Outcome = Field(fields, 3);
        } else if (t.Kind == "execute") {
            t.AnsiText = Field(fields, 1) == "ansi";
            t.Bytes = Unhex(Field(fields, 2));
            t.Outcome = Field(fields, 3);
        } else if (t.Kind == "request") {
            t.Item = Field(fields, 1);
            t.Format = static_cast<unsigned>(std::stoul(Field(fields, 2)));
            t.Outcome = Field(fields, 3);
        } else if (t.Kind != "disconnect") {
            throw std::runtime_error("transaction log: unknown line \"" + t.Kind + "\"");
        }
        transactions.push_back(std::move(t));
    }
    return transactions;
}

}  // namespace qv::progman

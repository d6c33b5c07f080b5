#include "progman/program_manager.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "engine/common/win_text.h"

namespace qv::progman {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trim(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// An argument wholly in quotes stands for what is inside them; anything
// else (a quoted program path followed by its parameters, say) is kept.
std::string ArgValue(const std::string& raw) {
    const std::string arg = Trim(raw);
    if (arg.size() >= 2 && arg.front() == '"' && arg.back() == '"' &&
        arg.find('"', 1) == arg.size() - 1)
        return arg.substr(1, arg.size() - 2);
    return arg;
}

std::optional<int> Number(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    for (std::size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9') return std::nullopt;
    return std::stoi(text);
}

// The program's file name without folder and extension, as the Program
// Manager names an item given none.
std::string NameFromCommandLine(const std::string& commandLine) {
    std::string program;
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"') quoted = !quoted;
        else if (c == ' ' && !quoted) break;
        else program += c;
    }
    program = program.substr(program.find_last_of("\\/:") == std::string::npos ? 0 : program.find_last_of("\\/:") + 1);
    const std::size_t dot = program.rfind('.');
    return dot == std::string::npos ? program : program.substr(0, dot);
}

}  // namespace

bool SameName(const std::string& a, const std::string& b) {
    const std::wstring wa = Widen(a), wb = Widen(b);
    return CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()),
                                TRUE) == CSTR_EQUAL;
}

std::optional<std::vector<Command>> ParseCommands(const std::string& text) {
    std::vector<Command> commands;
    std::size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && IsBlank(text[i])) ++i;
    };
    for (skipBlanks(); i < text.size(); skipBlanks()) {
        if (text[i++] != '[') return std::nullopt;
        Command command;
        const std::size_t nameEnd = text.find_first_of("(]", i);
        if (nameEnd == std::string::npos) return std::nullopt;
        command.Name = Trim(text.substr(i, nameEnd - i));
        i = nameEnd;
        if (text[i] == '(') {
            ++i;
            std::string arg;
            bool quoted = false, closed = false;
            for (; i < text.size() && !closed; ++i) {
                const char c = text[i];
                if (c == '"') quoted = !quoted;
                if (!quoted && (c == ',' || c == ')')) {
                    command.Args.push_back(ArgValue(arg));
                    arg.clear();
                    closed = c == ')';
                } else {
                    arg += c;
                }
            }
            if (!closed) return std::nullopt;
            if (command.Args.size() == 1 && command.Args[0].empty()) command.Args.clear();
            skipBlanks();
        }
        if (i >= text.size() || text[i++] != ']' || command.Name.empty()) return std::nullopt;
        commands.push_back(std::move(command));
    }
    if (commands.empty()) return std::nullopt;
    return commands;
}

void ProgramManager::Reset(std::vector<Group> groups) {
    groups_ = std::move(groups);
    active_.clear();
    replacedAt_.reset();
}

Group* ProgramManager::FindGroup(const std::string& name) {
    for (Group& group : groups_)
        if (SameName(group.Name, name)) return &group;
    return nullptr;
}

std::vector<Item>::iterator ProgramManager::FindItem(Group& group, const std::string& name) {
    return std::find_if(group.Items.begin(), group.Items.end(),
                        [&](const Item& item) { return SameName(item.Name, name); });
}

bool ProgramManager::Execute(const std::vector<Command>& commands, const std::vector<std::string>& rejected) {
    for (const Command& command : commands) {
        for (const std::string& name : rejected)
            if (name == "*" || SameName(name, command.Name)) return false;
        if (!Run(command)) return false;
    }
    return true;
}

bool ProgramManager::Run(const Command& c) {
    const std::vector<std::string>& a = c.Args;
    const auto arg = [&](std::size_t i) { return i < a.size() ? a[i] : std::string(); };
    Group* active = active_.empty() ? nullptr : FindGroup(active_);

    if (SameName(c.Name, "CreateGroup")) {
        if (arg(0).empty()) return false;
        Group* group = FindGroup(arg(0));
        if (!group) group = &groups_.emplace_back(Group{arg(0), {}});
        active_ = group->Name;
        replacedAt_.reset();
        return true;
    }
    if (SameName(c.Name, "ShowGroup")) {
        const std::optional<int> show = Number(arg(1));
        Group* group = FindGroup(arg(0));
        if (!group || !show || *show < 1 || *show > 8) return false;
        if (!SameName(active_, group->Name)) replacedAt_.reset();
        active_ = group->Name;
        return true;
    }
    if (SameName(c.Name, "AddItem")) {
        if (!active || arg(0).empty()) return false;
        Item item;
        item.CommandLine = arg(0);
        item.Name = arg(1).empty() ? NameFromCommandLine(item.CommandLine) : arg(1);
        item.IconFile = arg(2);
        if (!arg(3).empty()) {
            const std::optional<int> index = Number(arg(3));
            if (!index) return false;
            item.IconIndex = *index;
        }
        item.WorkingFolder = arg(6);
        const std::size_t at = std::min(replacedAt_.value_or(active->Items.size()), active->Items.size());
        active->Items.insert(active->Items.begin() + static_cast<std::ptrdiff_t>(at), item);
        replacedAt_.reset();
        return true;
    }
    if (SameName(c.Name, "ReplaceItem") || SameName(c.Name, "DeleteItem")) {
        if (!active) return false;
        const auto found = FindItem(*active, arg(0));
        if (found == active->Items.end()) return false;
        const std::size_t at = static_cast<std::size_t>(found - active->Items.begin());
        active->Items.erase(found);
        if (SameName(c.Name, "ReplaceItem")) replacedAt_ = at;
        return true;
    }
    if (SameName(c.Name, "DeleteGroup")) {
        Group* group = FindGroup(arg(0));
        if (!group) return false;
        if (group == active) {
            active_.clear();
            replacedAt_.reset();
        }
        groups_.erase(groups_.begin() + (group - groups_.data()));
        return true;
    }
    return false;
}

std::optional<std::string> ProgramManager::Describe(const std::string& item) const {
    std::string text;
    if (SameName(item, "GROUPS")) {
        for (const Group& group : groups_) text += group.Name + "\r\n";
        return text;
    }
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        const Group& group = groups_[g];
        if (!SameName(group.Name, item)) continue;
        char file[32];
        std::snprintf(file, sizeof file, "C:\\WINDOWS\\QVGRP%03u.GRP", static_cast<unsigned>(g + 1));
        text = "\"" + group.Name + "\"," + file + "," + std::to_string(group.Items.size()) + "\r\n";
        for (const Item& i : group.Items)
            text += "\"" + i.Name + "\",\"" + i.CommandLine + "\"," + i.WorkingFolder + "," + i.IconFile + ",0,0," +
                    std::to_string(i.IconIndex) + ",0,0\r\n";
        return text;
    }
    return std::nullopt;
}

}  // namespace qv::progman

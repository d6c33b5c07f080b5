#include "tool/script_entry.h"

#include <algorithm>

#include "core/text/cp936.h"
#include "tool/text_checks.h"
#include "tool/tool_errors.h"

namespace qv::tool {

void ScriptProblems::Add(std::uint32_t line, const std::string& entry, const std::string& message) {
    std::string text = scriptName_ + ":" + (line ? std::to_string(line) + ":" : "") + " ";
    if (!entry.empty()) text += entry + ": ";
    problems_.emplace_back(line, text + message);
}

void ScriptProblems::Raise() const {
    auto sorted = problems_;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> messages;
    for (auto& p : sorted) messages.push_back(std::move(p.second));
    throw ScriptErrors(std::move(messages));
}

std::string TypeName(toml::node_type type) {
    switch (type) {
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a floating-point number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time";
    case toml::node_type::date_time: return "a date-time";
    default: return "nothing";
    }
}

ScriptEntry::ScriptEntry(ScriptProblems& problems, const toml::table& table, std::string name,
                         std::vector<std::string> knownKeys)
    : problems_(problems), table_(table), name_(std::move(name)) {
    for (auto&& [key, value] : table_) {
        if (std::find(knownKeys.begin(), knownKeys.end(), key.str()) != knownKeys.end()) continue;
        std::string known;
        for (const auto& k : knownKeys) known += (known.empty() ? "" : ", ") + k;
        problems_.Add(key.source().begin.line, name_,
                      "unknown key '" + std::string(key.str()) + "' (known keys: " + known + ")");
    }
}

void ScriptEntry::Problem(const toml::node* at, const std::string& message) {
    problems_.Add(at ? at->source().begin.line : table_.source().begin.line, name_, message);
}

const toml::node* ScriptEntry::Typed(const char* key, toml::node_type type, const char* typeName,
                                     bool required) {
    const toml::node* node = table_.get(key);
    if (!node) {
        if (required) Problem("'" + std::string(key) + "' is missing");
        return nullptr;
    }
    if (node->type() != type) {
        Problem(node, "'" + std::string(key) + "' must be " + typeName + ", not " + TypeName(node->type()));
        return nullptr;
    }
    return node;
}

std::string ScriptEntry::Text(const char* key, std::size_t limit, bool required, const std::string& fallback) {
    const toml::node* node = Typed(key, toml::node_type::string, "a string", required);
    if (!node) return fallback;
    const std::string& text = node->as_string()->get();
    if (const auto problem = TextProblem(text)) {
        Problem(node, "'" + std::string(key) + "' " + *problem);
        return fallback;
    }
    const std::size_t bytes = cp936::FromUtf8(text)->size();
    if (bytes > limit) {
        Problem(node, "'" + std::string(key) + "' is " + std::to_string(bytes) +
                          " bytes in code page 936, at most " + std::to_string(limit) + " allowed");
        return fallback;
    }
    return text;
}

std::string ScriptEntry::LocalPath(const char* key, bool required) {
    const toml::node* node = Typed(key, toml::node_type::string, "a string", required);
    if (!node) return {};
    const std::string& path = node->as_string()->get();
    if (path.empty()) Problem(node, "'" + std::string(key) + "' must not be empty");
    return path;
}

bool ScriptEntry::Flag(const char* key, bool fallback) {
    const toml::node* node = Typed(key, toml::node_type::boolean, "a boolean (true or false)", false);
    return node ? node->as_boolean()->get() : fallback;
}

std::optional<std::int64_t> ScriptEntry::Integer(const char* key, std::int64_t min, std::int64_t max) {
    const toml::node* node = Typed(key, toml::node_type::integer, "an integer", false);
    if (!node) return std::nullopt;
    const std::int64_t value = node->as_integer()->get();
    if (value < min || value > max) {
        Problem(node, "'" + std::string(key) + "' is " + std::to_string(value) + ", outside " +
                          std::to_string(min) + " to " + std::to_string(max));
        return std::nullopt;
    }
    return value;
}

std::uint32_t ScriptEntry::Choice(const char* key, const NameTable& table, const char* fallback, bool required) {
    const std::uint32_t fallbackValue = fallback ? ValueOfName(table, fallback).value_or(0) : 0;
    const toml::node* node = Typed(key, toml::node_type::string, "a string", required);
    if (!node) return fallbackValue;
    const std::string& name = node->as_string()->get();
    if (const auto value = ValueOfName(table, name)) return *value;
    Problem(node, "'" + std::string(key) + "' is \"" + name + "\", but must be " + ListOfNames(table));
    return fallbackValue;
}

}  // namespace qv::tool

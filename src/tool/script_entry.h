// One entry of a build script ([setup] or one [[file]], ...): typed access to
// its keys that notes every mistake, with its line, instead of stopping at
// the first, so that one run of `build` lists all of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <toml++/toml.h>

#include "tool/record_names.h"

namespace qv::tool {

class ScriptProblems {
public:
    explicit ScriptProblems(std::string scriptName) : scriptName_(std::move(scriptName)) {}
    void Add(std::uint32_t line, const std::string& entry, const std::string& message);
    bool Empty() const { return problems_.empty(); }
    // Raises ScriptErrors with the problems in line order.
    [[noreturn]] void Raise() const;

private:
    std::string scriptName_;
    std::vector<std::pair<std::uint32_t, std::string>> problems_;
};

class ScriptEntry {
public:
    // Notes every key of `table` that is not among `knownKeys`.
    ScriptEntry(ScriptProblems& problems, const toml::table& table, std::string name,
                std::vector<std::string> knownKeys);

    bool Has(const char* key) const { return table_.contains(key); }
    // A text of at most `limit` code page 936 bytes; `fallback` when absent
    // (a required key that is absent is a problem).
    std::string Text(const char* key, std::size_t limit, bool required, const std::string& fallback = {});
    // A path of this machine (a source or a text file): any UTF-8, not empty.
    std::string LocalPath(const char* key, bool required);
    bool Flag(const char* key, bool fallback = false);
    std::optional<std::int64_t> Integer(const char* key, std::int64_t min, std::int64_t max);
    // One of the names of `table`.
    std::uint32_t Choice(const char* key, const NameTable& table, const char* fallback, bool required = false);
    const toml::node* Node(const char* key) const { return table_.get(key); }

    void Problem(const toml::node* at, const std::string& message);
    void Problem(const std::string& message) { Problem(nullptr, message); }

private:
    const toml::node* Typed(const char* key, toml::node_type type, const char* typeName, bool required);

    ScriptProblems& problems_;
    const toml::table& table_;
    std::string name_;
};

// "a string", "an integer", ...: a TOML type for a message.
std::string TypeName(toml::node_type type);

}  // namespace qv::tool

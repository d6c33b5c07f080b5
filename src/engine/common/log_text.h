// The installation log's words for what every layer meets: Windows error
// codes, exceptions, registry roots, file versions. Written once here, so
// that the same fact reads the same wherever it is logged.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace qv {

// `Windows error 5 "Access is denied"`; the number alone when the system
// has no text for it.
std::string WindowsErrorText(unsigned long code);

// What kind the exception being handled is (call inside a catch block),
// with the code it carries: "EInOutError, run-time code 5",
// "EZlibDataError", "std::bad_alloc".
std::string CurrentExceptionKindText();

// The exception being handled (call inside a catch block): its message
// quoted as the user sees it, then its kind in brackets.
std::string CurrentExceptionText();

// "HKEY_LOCAL_MACHINE" and the other predefined roots by their handle
// values; "root key 0x00000007" for any other value.
std::string RegistryRootName(std::uint32_t root);
// The same in the texts a user reads: the predefined roots by their names,
// any other value as "非预定义的根键 0x00000007".
std::string RegistryRootUserText(std::uint32_t root);

// A file version as "1.2.0.0": the four 16-bit words, most significant first.
std::string VersionText(std::uint32_t versionMS, std::uint32_t versionLS);

// `text` between double quotes, for paths and names that may hold spaces.
std::string Quoted(const std::string& text);

}  // namespace qv

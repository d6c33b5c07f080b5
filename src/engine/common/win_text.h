// UTF-8 inside the programs, UTF-16 at the Win32 boundary.
#pragma once

#include <string>

namespace qv {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
std::string Narrow(const wchar_t* utf16, std::size_t length);

}  // namespace qv

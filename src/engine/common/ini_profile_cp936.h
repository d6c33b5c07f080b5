// Writing and removing INI entries so that their texts stay code page 936 in
// the file.
//
// The wide profile functions write a new or ANSI file in the system's ANSI
// code page, which turns Chinese texts into '?' wherever that code page is
// not 936. The ANSI functions store the bytes they are given, so the texts
// go in as code page 936 bytes, as the setup data holds them, and read back
// the same on a Chinese Windows.
#pragma once

#include <string>

namespace qv {

// Key=Value in [Section] of `fileName`, or of the Windows WIN.INI when
// `fileName` is empty; true when Windows reports success. The texts are
// UTF-8. They go through the ANSI functions as code page 936 bytes when
// that keeps them whole: every text has a code page 936 form, each text's
// bytes survive the system's ANSI code page unchanged (the ANSI functions
// pass them through it), and the file name names the same file there.
// Otherwise through the wide functions, which is the best the system can
// do with such a text.
bool WriteIniValueCp936(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& fileName);

// Whether WriteIniValueCp936 takes the ANSI functions for these texts.
bool IniTextsFitCp936(const std::string& section, const std::string& key, const std::string& value,
                      const std::string& fileName);

// Removes `key` of `section`, or the whole section when `key` is null, in
// `fileName` or WIN.INI, choosing the functions as WriteIniValueCp936 does,
// so that an entry it wrote is found again. Windows reports nothing useful:
// a missing key or file is no failure.
void RemoveIniEntryCp936(const std::string& section, const std::string* key, const std::string& fileName);

// True when `section` of `fileName` (or WIN.INI) holds no key.
bool IniSectionHasNoKeysCp936(const std::string& section, const std::string& fileName);

}  // namespace qv

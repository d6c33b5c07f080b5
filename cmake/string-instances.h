// Included before every C++ file of the Windows build (CMakeLists.txt).
//
// The C++ runtime declares std::string and std::wstring "extern template":
// each program then takes their members from the runtime's archive, whose
// instantiations are two objects of about 20 KB each, linked whole. The
// programs use far fewer of those members; instantiated in the program's
// own files, each in its own discardable section, only the used ones are
// linked. The value -1 is the runtime's own switch that lifts the extern
// declarations of basic_string alone.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1

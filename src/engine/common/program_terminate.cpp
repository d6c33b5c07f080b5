// The end of a program that an exception left uncaught, linked into each
// engine program as an object of its own (an archive member would come too
// late: the runtime's default is found first).
//
// The runtime's default end writes the exception's demangled type and text
// to the standard error stream, and so brings the C++ name demangler (some
// 40 KB) into every program. The engine's programs are GUI programs, whose
// standard error goes nowhere; every exception that the engine expects is
// caught and shown in the system's own words long before this. What is
// left is a fault: the program ends as the default would after its message.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

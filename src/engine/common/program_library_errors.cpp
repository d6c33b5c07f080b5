// The C++ runtime's throwing helpers, replaced in each engine program (as
// program_terminate.cpp, an object of the program itself, found before the
// runtime's archive).
//
// The runtime's own helpers throw std::length_error, std::out_of_range and
// their kin, whose constructors keep the text in the runtime's older
// reference-counted string; those two bring some 30 KB of code into every
// program for errors that, in this engine, only a fault can raise: a
// string grown past its largest size, an index past the end. Such a fault
// still unwinds as an exception derived from std::exception, with the
// runtime's own text, to whatever catches it; only its standard type is
// lost, and nothing in the engine catches by those types.
#include <cstdarg>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

class LibraryFault : public std::exception {
public:
    explicit LibraryFault(const char* text) : text_(text ? text : "C++ runtime error") {}
    const char* what() const noexcept override { return text_; }

private:
    const char* text_;  // the runtime passes literals
};

}  // namespace

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char* text) { throw LibraryFault(text); }
void __throw_domain_error(const char* text) { throw LibraryFault(text); }
void __throw_invalid_argument(const char* text) { throw LibraryFault(text); }
void __throw_length_error(const char* text) { throw LibraryFault(text); }
void __throw_out_of_range(const char* text) { throw LibraryFault(text); }
// The format's numbers are left out: the text names the function that failed.
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryFault(format); }
void __throw_runtime_error(const char* text) { throw LibraryFault(text); }
void __throw_range_error(const char* text) { throw LibraryFault(text); }
void __throw_overflow_error(const char* text) { throw LibraryFault(text); }
void __throw_underflow_error(const char* text) { throw LibraryFault(text); }

}  // namespace std

// A self-registering library (a COM server, an ActiveX control) registers
// and unregisters itself through its "DllRegisterServer" and
// "DllUnregisterServer". Its code runs in a child process: this program
// started again from its own file with an internal switch. A library that
// crashes in DllMain or in the call takes down only that child; this
// process reads what happened from the child's exit code and goes on with
// an ordinary failure, its undo log and temporary files intact.
//
// Every program that registers or unregisters (Setup.exe, the uninstaller)
// begins its entry point with
//
//   if (const auto code = ServeLibraryRegistrationIfAsked()) return static_cast<int>(*code);
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace qv {

enum class TLibraryCall { Register, Unregister };

// How far one call got.
enum class TSelfRegisterStage {
    NotLoaded,   // the file did not load as a library
    NoExport,    // it loaded but lacks the function
    Failed,      // the function returned a negative status
    Registered,  // the function returned a status of 0 or more
    Crashed,     // the child ended without an answer: an exception nobody handled, or the library ended it
    NotStarted,  // the child could not be started
};

struct TSelfRegisterOutcome {
    TSelfRegisterStage Stage = TSelfRegisterStage::NotLoaded;
    HRESULT Result = 0;       // Failed: what the function returned
    unsigned long Code = 0;   // Crashed: the child's exit code (the exception code); NotStarted: the Windows error
};

// Calls the function of `call` in `library` in a child process and waits
// for its end. Messages sent to this thread's windows are answered while
// it waits (a library that broadcasts would otherwise wait for them
// forever); posted ones, the user's clicks among them, wait.
TSelfRegisterOutcome CallLibraryInChild(const std::string& library, TLibraryCall call);

// The reason shown for an outcome short of Registered. Registering:
// "引导库文件出错。", "DLL注册服务输出未发现。", "DLL注册服务返回 <status>",
// or the words for a crash or a child that did not start; unregistering
// has its own words for the same.
std::string LibraryCallFailureReason(const TSelfRegisterOutcome& outcome, TLibraryCall call);

// The child's side, first thing in the entry point: when the command line
// is the internal switch with the handle of the request its parent made
// (a library's full path in an inherited memory block), makes the call and
// returns the exit code that tells the outcome (the program then ends at
// once: no window, no log, no temporary folder, no one-instance check).
// The switch with anything else (a path typed by hand) loads nothing and
// returns 0x51560004. Otherwise returns nothing, and from then on
// CallLibraryInChild starts this program as its child.
std::optional<unsigned> ServeLibraryRegistrationIfAsked();

// For test programs, which know no switch: the program CallLibraryInChild
// starts instead of this one (a built Setup.exe or UNISTB32.EXE).
void UseLibraryRegistrationProgram(const std::string& program);

}  // namespace qv

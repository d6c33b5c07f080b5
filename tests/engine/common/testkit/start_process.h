// Starting a child process the way every test starts one.
#pragma once

#include <windows.h>

#include <string>

namespace qv::test {

// CreateProcessW, tried up to three times, 200 ms apart. Wine now and then
// refuses to start a process that starts the next time (seen once in a
// whole suite run, in the Setup.exe window tests). A process that never
// started has done nothing, so trying again hides no fault of the program.
// False: GetLastError says why.
bool StartProcess(const wchar_t* program, std::wstring& commandLine, BOOL inheritHandles, DWORD flags,
                  void* environment, const wchar_t* folder, STARTUPINFOW& startup, PROCESS_INFORMATION& info);

}  // namespace qv::test

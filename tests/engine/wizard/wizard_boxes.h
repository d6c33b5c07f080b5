// What the wizard's tests share: the two shells, the buttons of a box, and
// the scripted answerer of the test kit.
#pragma once

#include <string>
#include <vector>

#include "engine/common/message_box.h"
#include "engine/common/windows_version.h"
#include "testkit/scripted_boxes.h"

namespace qv::test {

// The two shells whose rules differ.
inline WindowsVersion OldShell() { return WindowsVersion::Of(3, 95, kPlatformWin32Windows); }
inline WindowsVersion NewShell() { return WindowsVersion::Of(5, 1, kPlatformWin32NT); }

// The MB_ flags of a box without its icon.
inline UINT Buttons(const MsgBoxQuestion& box) { return box.Flags & ~MB_ICONMASK; }

}  // namespace qv::test

// Answers the wizard's message boxes from a script, one button per box in
// order (IDOK once the script runs out), and records each box asked.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "engine/common/message_box.h"
#include "engine/common/windows_version.h"

namespace qv::test {

class AnsweredBoxes {
public:
    explicit AnsweredBoxes(std::deque<int> answers = {});
    ~AnsweredBoxes();
    AnsweredBoxes(const AnsweredBoxes&) = delete;
    AnsweredBoxes& operator=(const AnsweredBoxes&) = delete;

    std::vector<MsgBoxQuestion> asked;

private:
    std::deque<int> answers_;
};

// The two shells whose rules differ.
inline WindowsVersion OldShell() { return WindowsVersion::Of(3, 95, kPlatformWin32Windows); }
inline WindowsVersion NewShell() { return WindowsVersion::Of(5, 1, kPlatformWin32NT); }

// The MB_ flags of a box without its icon.
inline UINT Buttons(const MsgBoxQuestion& box) { return box.Flags & ~MB_ICONMASK; }

}  // namespace qv::test

// The scripted answerer for in-process tests: every message box is
// recorded and answered with a chosen button instead of being shown.
#pragma once

#include <functional>
#include <vector>

#include "engine/common/message_box.h"

namespace qv::test {

class ScriptedBoxes {
public:
    explicit ScriptedBoxes(int answer = IDOK) {
        SetMsgBoxAnswerer([this, answer](const MsgBoxQuestion& question) {
            asked.push_back(question);
            if (duringBox) duringBox();
            return answer;
        });
    }
    ~ScriptedBoxes() { SetMsgBoxAnswerer({}); }
    ScriptedBoxes(const ScriptedBoxes&) = delete;
    ScriptedBoxes& operator=(const ScriptedBoxes&) = delete;

    std::vector<MsgBoxQuestion> asked;
    // Runs while a box would be on the screen.
    std::function<void()> duringBox;
};

}  // namespace qv::test

// The scripted answerers for in-process tests: every message box is
// recorded and answered instead of being shown, with one button for all
// (ScriptedBoxes) or one answer per box in order (AnsweredBoxes).
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

// Answers the boxes in order from `answers`. Once they run out, a box with
// only an OK button gets OK; any other box is a question nobody expected,
// a failure of the test, answered with Abort.
class AnsweredBoxes {
public:
    explicit AnsweredBoxes(std::vector<int> answers = {});
    ~AnsweredBoxes();
    AnsweredBoxes(const AnsweredBoxes&) = delete;
    AnsweredBoxes& operator=(const AnsweredBoxes&) = delete;

    std::vector<MsgBoxQuestion> asked;
    // Runs while a box would be on the screen, given its number (from 0).
    std::function<void(std::size_t)> duringBox;

private:
    std::vector<int> answers_;
};

}  // namespace qv::test

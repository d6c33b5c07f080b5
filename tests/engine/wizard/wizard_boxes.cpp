#include "wizard_boxes.h"

namespace qv::test {

AnsweredBoxes::AnsweredBoxes(std::deque<int> answers) : answers_(std::move(answers)) {
    SetMsgBoxAnswerer([this](const MsgBoxQuestion& question) {
        asked.push_back(question);
        if (answers_.empty()) return IDOK;
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    });
}

AnsweredBoxes::~AnsweredBoxes() { SetMsgBoxAnswerer({}); }

}  // namespace qv::test

#include "testkit/scripted_boxes.h"

#include <gtest/gtest.h>

namespace qv::test {

AnsweredBoxes::AnsweredBoxes(std::vector<int> answers) : answers_(std::move(answers)) {
    SetMsgBoxAnswerer([this](const MsgBoxQuestion& question) {
        const std::size_t number = asked.size();
        asked.push_back(question);
        if (duringBox) duringBox(number);
        if (number < answers_.size()) return answers_[number];
        if ((question.Flags & MB_TYPEMASK) == MB_OK) return IDOK;
        ADD_FAILURE() << "a question nobody expected: " << question.Text;
        return IDABORT;
    });
}

AnsweredBoxes::~AnsweredBoxes() { SetMsgBoxAnswerer({}); }

}  // namespace qv::test

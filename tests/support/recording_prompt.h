#pragma once
// A prompt for tests: records every message and answers questions from a queue.
#include <QString>
#include <deque>
#include <vector>

#include "gui/widgets/prompt.h"

namespace kijunchi::testing {

class RecordingPrompt final : public Prompt {
public:
    struct Shown {
        QString text;
        QString title;
        Icon icon;
    };
    std::vector<Shown> shown;
    std::deque<bool> answers;            // answers for askYesNo; No when empty
    std::deque<Answer> threeWayAnswers;  // answers for askYesNoCancel; Cancel when empty

    void message(QWidget*, const QString& text, const QString& title, Icon icon) override {
        shown.push_back({text, title, icon});
    }
    bool askYesNo(QWidget*, const QString& text, const QString& title) override {
        shown.push_back({text, title, Icon::Question});
        if (answers.empty()) return false;
        bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    Answer askYesNoCancel(QWidget*, const QString& text, const QString& title) override {
        shown.push_back({text, title, Icon::Question});
        if (threeWayAnswers.empty()) return Answer::Cancel;
        const Answer answer = threeWayAnswers.front();
        threeWayAnswers.pop_front();
        return answer;
    }
};

}  // namespace kijunchi::testing

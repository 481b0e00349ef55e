#pragma once
// Questions and notices for the user, without widgets: logic in any library asks
// through IQuestionAsker, the application answers with its message box, and
// tests answer from a script. An answer is 1 for "yes/OK" and 0 for anything
// else (cancel, close, Escape, or no way to ask at all).

#include <deque>
#include <string>
#include <vector>

namespace q731 {

enum class QuestionButtons : int {
    Ok = 0,        // a notice: the confirm button alone
    OkCancel = 1,  // a question: confirm and cancel
    AsLaid = 7,    // the buttons as the layout shows them
};

struct Question {
    std::string title;     // empty: the box keeps its own title
    std::string text;      // a language text id, or plain text
    bool textIsId = true;  // look `text` up in the language in use
    QuestionButtons buttons = QuestionButtons::Ok;
};

class IQuestionAsker {
public:
    virtual ~IQuestionAsker() = default;
    // Blocks the caller (the UI thread) until the user answers; 1 or 0.
    virtual int Ask(const Question& question) = 0;
};

// Convenience wrappers for the two common shapes.
inline int ShowNotice(IQuestionAsker& asker, std::string textId) {
    Question question;
    question.text = std::move(textId);
    return asker.Ask(question);
}
inline bool AskToConfirm(IQuestionAsker& asker, std::string textId) {
    Question question;
    question.text = std::move(textId);
    question.buttons = QuestionButtons::OkCancel;
    return asker.Ask(question) == 1;
}

// For tests: records every question and answers from a list; once the list is
// used up every further question gets `fallback`.
class ScriptedQuestions final : public IQuestionAsker {
public:
    explicit ScriptedQuestions(std::deque<int> answers = {}, int fallback = 0)
        : answers_(std::move(answers)), fallback_(fallback) {}
    int Ask(const Question& question) override {
        asked.push_back(question);
        if (answers_.empty()) return fallback_;
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    void Answer(int answer) { answers_.push_back(answer); }
    // The text ids or texts asked so far, in order.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Question& q : asked)
            texts.push_back(q.text);
        return texts;
    }

    std::vector<Question> asked;

private:
    std::deque<int> answers_;
    int fallback_;
};

}  // namespace q731

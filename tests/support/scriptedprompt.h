#pragma once

#include "prompt.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace brackenly {

// Answers message boxes from a queue the test fills and records every question.
// A question with no answer queued fails the running test function (QTest::qFail, so it
// shows as a failure at once rather than a hang) and is answered with the refusing
// button (Cancel, No, or Ok for a plain message).
class ScriptedPrompt : public Prompt
{
public:
    struct Question
    {
        QString text;
        QString title;
        PromptIcon icon = PromptIcon::None;
    };
    using Responder = std::function<PromptAnswer(const Question&)>;

    ScriptedPrompt& answer(PromptAnswer a)
    {
        return answer([a](const Question&) { return a; });
    }
    // A computed answer; it may act (run events, close windows) while the box is "open".
    ScriptedPrompt& answer(Responder responder);
    // Answers every later question with this when the queue is empty, without failing.
    void setDefaultAnswer(PromptAnswer answer) { default_ = answer; }

    PromptAnswer ask(QWidget* parent, const QString& text, const QString& title,
                     PromptButtons buttons, PromptIcon icon = PromptIcon::None) override;

    const QList<Question>& questions() const { return questions_; }
    QStringList texts() const;
    // Questions that found no answer queued.
    int unanswered() const { return unanswered_; }
    void clear();

private:
    QQueue<Responder> answers_;
    QList<Question> questions_;
    int unanswered_ = 0;
    std::optional<PromptAnswer> default_;
};

} // namespace brackenly

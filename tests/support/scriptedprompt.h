#pragma once

#include "prompt.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTest>
#include <functional>
#include <optional>

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
    ScriptedPrompt& answer(Responder responder)
    {
        answers_.enqueue(std::move(responder));
        return *this;
    }
    // Answers every later question with this when the queue is empty, without failing.
    void setDefaultAnswer(PromptAnswer answer) { default_ = answer; }

    PromptAnswer ask(QWidget* /*parent*/, const QString& text, const QString& title,
                     PromptButtons buttons, PromptIcon icon = PromptIcon::None) override
    {
        const Question question{text, title, icon};
        questions_.append(question);
        if (!answers_.isEmpty())
            return answers_.dequeue()(question);
        if (default_)
            return *default_;
        const QByteArray message = "ScriptedPrompt: no answer queued for \"" + text.toUtf8() + '"';
        if (QTest::currentTestFunction())
            QTest::qFail(message.constData(), __FILE__, __LINE__);
        else
            qWarning("%s", message.constData());
        if (buttons == PromptButtons::Ok)
            return PromptAnswer::Ok;
        return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Cancel;
    }

    const QList<Question>& questions() const { return questions_; }
    // The texts (or another field) of the questions asked, in order.
    QStringList texts(QString Question::*field = &Question::text) const
    {
        QStringList result;
        for (const Question& question : questions_)
            result << question.*field;
        return result;
    }
    void clear()
    {
        answers_.clear();
        questions_.clear();
    }

private:
    QQueue<Responder> answers_;
    QList<Question> questions_;
    std::optional<PromptAnswer> default_;
};

} // namespace brackenly

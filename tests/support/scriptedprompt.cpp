#include "scriptedprompt.h"

#include <QTest>
#include <QWidget>

namespace brackenly {

ScriptedPrompt& ScriptedPrompt::answer(PromptAnswer answer)
{
    answers_.enqueue([answer](const Question&) { return answer; });
    return *this;
}

ScriptedPrompt& ScriptedPrompt::answer(Responder responder)
{
    answers_.enqueue(std::move(responder));
    return *this;
}

void ScriptedPrompt::setDefaultAnswer(PromptAnswer answer)
{
    hasDefault_ = true;
    default_ = answer;
}

PromptAnswer ScriptedPrompt::ask(QWidget* parent, const QString& text, const QString& title,
                                 PromptButtons buttons, PromptIcon icon)
{
    const Question question{parent, text, title, buttons, icon};
    questions_.append(question);
    if (!answers_.isEmpty())
        return answers_.dequeue()(question);
    if (hasDefault_)
        return default_;

    ++unanswered_;
    const QByteArray message = "ScriptedPrompt: no answer queued for \"" + text.toUtf8() + '"';
    if (QTest::currentTestFunction())
        QTest::qFail(message.constData(), __FILE__, __LINE__);
    else
        qWarning("%s", message.constData());
    switch (buttons) {
    case PromptButtons::OkCancel:
        return PromptAnswer::Cancel;
    case PromptButtons::YesNo:
        return PromptAnswer::No;
    case PromptButtons::Ok:
        break;
    }
    return PromptAnswer::Ok;
}

QStringList ScriptedPrompt::texts() const
{
    QStringList result;
    for (const Question& question : questions_)
        result << question.text;
    return result;
}

void ScriptedPrompt::clear()
{
    answers_.clear();
    questions_.clear();
    unanswered_ = 0;
}

} // namespace brackenly

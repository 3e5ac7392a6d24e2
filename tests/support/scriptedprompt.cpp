#include "scriptedprompt.h"

#include <QTest>
#include <QWidget>

namespace brackenly {

ScriptedPrompt& ScriptedPrompt::answer(Responder responder)
{
    answers_.enqueue(std::move(responder));
    return *this;
}

PromptAnswer ScriptedPrompt::ask(QWidget* /*parent*/, const QString& text, const QString& title,
                                 PromptButtons buttons, PromptIcon icon)
{
    const Question question{text, title, icon};
    questions_.append(question);
    if (!answers_.isEmpty())
        return answers_.dequeue()(question);
    if (default_)
        return *default_;

    ++unanswered_;
    const QByteArray message = "ScriptedPrompt: no answer queued for \"" + text.toUtf8() + '"';
    if (QTest::currentTestFunction())
        QTest::qFail(message.constData(), __FILE__, __LINE__);
    else
        qWarning("%s", message.constData());
    if (buttons == PromptButtons::Ok)
        return PromptAnswer::Ok;
    return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Cancel;
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

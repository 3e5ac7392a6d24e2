#pragma once

#include "prompt.h"

#include <QString>

namespace brackenly {

// The message boxes of a run from the command line: none is shown. Questions are answered
// No or Cancel; the last notice (a box with OK alone: what went wrong) is kept for the run to
// print, and a question (an offer to fill a recorded form in) is not one.
class CommandLinePrompt : public Prompt
{
public:
    PromptAnswer ask(QWidget*, const QString& text, const QString&, PromptButtons buttons,
                     PromptIcon) override
    {
        if (buttons == PromptButtons::Ok)
            last_ = text;
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

    QString takeLast() { return std::exchange(last_, QString()); }

private:
    QString last_;
};

} // namespace brackenly

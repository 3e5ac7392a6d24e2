#pragma once

#include <QString>

class QWidget;

namespace brackenly {

enum class PromptButtons
{
    Ok,
    OkCancel,
    YesNo
};
enum class PromptIcon
{
    None,
    Information,
    Exclamation,
    Critical
};
enum class PromptAnswer
{
    Ok,
    Cancel,
    Yes,
    No
};

// Every modal message box of the program goes through this seam, so tests answer them.
class Prompt
{
public:
    virtual ~Prompt() = default;
    // An empty title means the application's default title.
    virtual PromptAnswer ask(QWidget* parent, const QString& text, const QString& title,
                             PromptButtons buttons, PromptIcon icon = PromptIcon::None) = 0;
};

// The real one: a modal QMessageBox.
class MessageBoxPrompt : public Prompt
{
public:
    PromptAnswer ask(QWidget* parent, const QString& text, const QString& title,
                     PromptButtons buttons, PromptIcon icon) override;
};

} // namespace brackenly

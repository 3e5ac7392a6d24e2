#pragma once

#include <QString>

class QWidget;

namespace brackenly {

class Prompt;

// What the record panel needs from the window it lives in.
class SessionHost
{
public:
    virtual ~SessionHost() = default;

    // Parent of the panel's message boxes.
    virtual QWidget* window() = 0;
    virtual Prompt& prompt() = 0;
    // Services::programFolder: the session folder and the default image folder derive from it.
    virtual QString hostProgramFolder() const = 0;
    // First panel of StatusBar1.
    virtual void setStatusText(const QString& text) = 0;
    // The window's gstrSaveFolder.
    virtual QString saveFolder() const = 0;
    virtual void setSaveFolder(const QString& folder) = 0;
    // The boxes txtHome and txtImageFolder of the app-wide frmHome (loaded, not shown).
    virtual void setHomePageBox(const QString& text) = 0;
    virtual void setImageFolderBox(const QString& text) = 0;
};

} // namespace brackenly

#pragma once

#include "sessionhost.h"

namespace brackenly {

class frmBrowser;

// The record panel's view of its main window.
class WindowSessionHost : public SessionHost
{
public:
    explicit WindowSessionHost(frmBrowser& window) : w_(window) {}
    QWidget* window() override;
    Prompt& prompt() override;
    QString hostProgramFolder() const override;
    void setStatusText(const QString& text) override;
    QString saveFolder() const override;
    void setSaveFolder(const QString& folder) override;
    void setHomePageBox(const QString& text) override;
    void setImageFolderBox(const QString& text) override;

private:
    frmBrowser& w_;
};

} // namespace brackenly

#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace brackenly {

class Prompt;

// The home page the preferences start with: the maker's web site.
inline const QString kBuiltInHomePage = QStringLiteral("https://brackenly.org/");

// "User preference setup": the home page and the image folder. Loaded once for the whole
// program and hidden between uses, so its boxes keep their texts.
class frmHome : public QDialog
{
    Q_OBJECT
public:
    // Cancel puts the first window's gstrSaveFolder back into the folder box.
    using SaveFolderSource = std::function<QString()>;

    frmHome(Prompt& prompt, SaveFolderSource firstWindowSaveFolder, QWidget* parent = nullptr);

    void setFirstWindowSaveFolder(SaveFolderSource source)
    {
        firstWindowSaveFolder_ = std::move(source);
    }

    QLabel* Label1 = nullptr;
    QLineEdit* txtHome = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtImageFolder = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // True when the dialog was closed with OK.
    bool bSaveFlag = false;

    void cmdOK_Click();
    void cmdCancel_Click();

    // Escape and the window's close control act as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Prompt& prompt_;
    SaveFolderSource firstWindowSaveFolder_;
    bool shownOnce_ = false;
};

// The main window's "Preference" operation: centres and shows the dialog modally; on OK
// takes the folder into gstrSaveFolder, writes the settings file and reports
// "Setting is updated"; on Cancel clears the status text. A settings file that cannot be
// written is reported and the status text is left as it was.
void ShowPreference(QWidget* window, frmHome& dialog, QString& gstrSaveFolder,
                    const QString& settingsPath,
                    const std::function<void(const QString&)>& setStatusText, Prompt& prompt);

} // namespace brackenly

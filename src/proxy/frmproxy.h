#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace brackenly {

struct Services;
enum class PromptIcon;

// "Proxy Setting": sets or clears the process's HTTP proxy. Loaded once per program and
// only hidden between uses, so its boxes keep their contents and are there for Exit.
class frmProxy : public QDialog
{
    Q_OBJECT
public:
    // The proxy list database in the program folder.
    static inline const QString kProxyListFile = QStringLiteral("proxyserver.mdb");
    static inline const QString kMessageTitle = QStringLiteral("IE Proxy Settings");
    static inline const QString kUpdatedText =
        QStringLiteral("The IE proxy settings was updated sucsessfully.");
    static inline const QString kClearedText = QStringLiteral("IE Proxy settings was cleared.");
    static inline const QString kFailedText =
        QStringLiteral("Unable to update the IE proxy settings.");

    // services must outlive the dialog (its prompt and program folder are read at use).
    explicit frmProxy(const Services& services, QWidget* parent = nullptr);

    // Applies the boxes to the process proxy, reports the result, hides the dialog.
    // Also run by the main window's Exit while the dialog is hidden.
    void cmdOK_Click();
    void cmdCancel_Click();
    // Fills the boxes from the next unused proxy of the list; nothing is applied.
    void cmdProxy_Click();
    // Exit's proxy step: with the box ticked and a host filled in, untick it and run OK.
    void SwitchOffAtExit();

    QLabel* Label1 = nullptr;
    QLineEdit* txtIP = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtPort = nullptr;
    QCheckBox* chkUseProxy = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* cmdProxy = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    // ip + ":" + port of the next unused proxy of the list file in the program folder;
    // "" when none is left or the list cannot be used (then the user is told why).
    QString GetNextProxy(const QString& fileName);
    void tell(const QString& text, const QString& title, PromptIcon icon);
    QWidget* messageParent();

    const Services& services_;
};

} // namespace brackenly

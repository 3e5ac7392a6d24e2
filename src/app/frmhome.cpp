#include "frmhome.h"

#include "centerform.h"
#include "prompt.h"
#include "recordfile.h"
#include "twips.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <algorithm>

namespace brackenly {

using twips::toPixels;

frmHome::frmHome(Prompt& prompt, SaveFolderSource firstWindowSaveFolder, QWidget* parent)
    : QDialog(parent), prompt_(prompt), firstWindowSaveFolder_(std::move(firstWindowSaveFolder))
{
    setObjectName(QStringLiteral("frmHome"));
    setWindowTitle(QStringLiteral("User preference setup"));

    Label1 = new QLabel(QStringLiteral("Default home page:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("Save Image at:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    // The twips were drawn for a narrower font than most desktops have: where a caption
    // needs more, the labels widen and everything right of them moves over by as much.
    const int labelWidth = std::max({1575, twips::fromPixels(Label1->sizeHint().width()),
                                     twips::fromPixels(Label2->sizeHint().width())});
    const int shift = labelWidth - 1575;
    setFixedSize(toPixels(7170 + shift), toPixels(2010));
    Label1->setGeometry(toPixels(240, 265, labelWidth, 255));
    Label2->setGeometry(toPixels(240, 865, labelWidth, 255));

    txtHome = new QLineEdit(kBuiltInHomePage, this);
    txtHome->setObjectName(QStringLiteral("txtHome"));
    txtHome->setAccessibleName(Label1->text());
    txtHome->setGeometry(toPixels(1920 + shift, 240, 5055, 375));
    Label1->setBuddy(txtHome);

    txtImageFolder = new QLineEdit(this);
    txtImageFolder->setObjectName(QStringLiteral("txtImageFolder"));
    txtImageFolder->setAccessibleName(Label2->text());
    txtImageFolder->setGeometry(toPixels(1920 + shift, 840, 5055, 375));
    Label2->setBuddy(txtImageFolder);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setAccessibleName(cmdOK->text());
    cmdOK->setGeometry(toPixels(4320 + shift, 1425, 1215, 375));

    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAccessibleName(cmdCancel->text());
    cmdCancel->setGeometry(toPixels(5760 + shift, 1425, 1215, 375));

    // Tab order: Cancel, OK, home page, image folder; the labels take no focus.
    setTabOrder(cmdCancel, cmdOK);
    setTabOrder(cmdOK, txtHome);
    setTabOrder(txtHome, txtImageFolder);
    cmdCancel->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmHome::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmHome::cmdCancel_Click);
}

void frmHome::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Cancel is first in the tab order, so it has the focus the first time; later shows
    // keep the focus where the user left it.
    if (!shownOnce_) {
        shownOnce_ = true;
        cmdCancel->setFocus(Qt::TabFocusReason);
    }
}

void frmHome::cmdOK_Click()
{
    const QString folder = txtImageFolder->text();
    if (!QFileInfo(folder).isDir()) {
        const PromptAnswer answer =
            prompt_.ask(this,
                        QStringLiteral("Directory ") + folder +
                            QStringLiteral(" does not exist, do you want to create it?"),
                        QString(), PromptButtons::YesNo);
        if (answer != PromptAnswer::Yes) {
            txtImageFolder->setFocus(Qt::OtherFocusReason);
            return;
        }
        // One level only: the parent must exist.
        if (folder.isEmpty() || !QDir().mkdir(folder)) {
            prompt_.ask(this,
                        QStringLiteral("Directory ") + folder +
                            QStringLiteral(" could not be created."),
                        QString(), PromptButtons::Ok, PromptIcon::Exclamation);
            txtImageFolder->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    bSaveFlag = true;
    QDialog::accept();
}

void frmHome::cmdCancel_Click()
{
    txtImageFolder->setText(firstWindowSaveFolder_ ? firstWindowSaveFolder_() : QString());
    QDialog::reject();
}

void frmHome::reject()
{
    cmdCancel_Click();
}

void ShowPreference(QWidget* window, frmHome& dialog, QString& gstrSaveFolder,
                    const QString& settingsPath,
                    const std::function<void(const QString&)>& setStatusText, Prompt& prompt)
{
    const QPointer<QWidget> windowAlive(window);
    const QPointer<frmHome> dialogAlive(&dialog);
    CenterForm(&dialog);
    dialog.bSaveFlag = false;
    dialog.exec();
    // The modal loop runs other handlers; the window or the dialog may be gone.
    if (!dialogAlive || (window && !windowAlive))
        return;
    if (!dialog.bSaveFlag) {
        setStatusText(QString());
        return;
    }
    gstrSaveFolder = dialog.txtImageFolder->text();
    if (!WriteTextFile(settingsPath, BuildSettingsXml({dialog.txtHome->text(), gstrSaveFolder}))) {
        prompt.ask(window,
                   QStringLiteral("The settings could not be saved to the file ") +
                       QDir::toNativeSeparators(settingsPath) + QStringLiteral("."),
                   QString(), PromptButtons::Ok, PromptIcon::Exclamation);
        return;
    }
    setStatusText(QStringLiteral("Setting is updated"));
}

} // namespace brackenly

#include "frmproxy.h"

#include "browser.h"
#include "prompt.h"
#include "proxyaddress.h"
#include "proxylist.h"
#include "proxysetting.h"
#include "services.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>

namespace brackenly {

namespace {

template <typename T> T* named(T* widget, const char* name, const QString& accessibleName)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessibleName);
    return widget;
}

} // namespace

frmProxy::frmProxy(const Services& services, QWidget* parent) : QDialog(parent), services_(services)
{
    setObjectName(QStringLiteral("frmProxy"));
    setWindowTitle(QStringLiteral("Proxy Setting"));
    createControls();

    connect(cmdOK, &QPushButton::clicked, this, &frmProxy::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmProxy::cmdCancel_Click);
    connect(cmdProxy, &QPushButton::clicked, this, &frmProxy::cmdProxy_Click);
}

void frmProxy::createControls()
{
    const QString serverCaption = QStringLiteral("Proxy Server: ");
    const QString portCaption = QStringLiteral("Port No:");
    const QString useCaption = QStringLiteral("Use Proxy Server");

    Label1 = named(new QLabel(serverCaption, this), "Label1", serverCaption);
    txtIP = named(new QLineEdit(this), "txtIP", serverCaption);
    Label1->setBuddy(txtIP);
    Label2 = named(new QLabel(portCaption, this), "Label2", portCaption);
    txtPort = named(new QLineEdit(this), "txtPort", portCaption);
    Label2->setBuddy(txtPort);

    // The box has no text of its own; the label beside it is its caption.
    chkUseProxy = named(new QCheckBox(this), "chkUseProxy", useCaption);
    chkUseProxy->setChecked(true);
    Label3 = named(new QLabel(useCaption, this), "Label3", useCaption);
    Label3->setBuddy(chkUseProxy);
    Label3->installEventFilter(this);

    cmdProxy = named(new QPushButton(QStringLiteral("Get Proxy"), this), "cmdProxy",
                     QStringLiteral("Get Proxy"));
    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK", QStringLiteral("OK"));
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel",
                      QStringLiteral("Cancel"));
    // Enter in a box means OK, never "Get Proxy" (that would use up a list entry).
    cmdProxy->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);
    cmdOK->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(txtIP, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(txtPort, 1, 1);
    auto* useRow = new QHBoxLayout;
    useRow->addWidget(chkUseProxy);
    useRow->addWidget(Label3, 1);
    grid->addLayout(useRow, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdProxy);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 3, 0, 1, 2);
    txtIP->setMinimumWidth(txtIP->fontMetrics().horizontalAdvance(u'M') * 18);

    // Known size before the first show, so the dialog can be centred beforehand.
    setFixedSize(sizeHint());
}

bool frmProxy::eventFilter(QObject* watched, QEvent* event)
{
    // A click on the caption label ticks the box, as a check box's own caption would.
    if (watched == Label3 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        chkUseProxy->click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmProxy::cmdOK_Click()
{
    const bool useProxy = chkUseProxy->isChecked();
    const ProxySetting setting = MakeProxySetting(useProxy, txtIP->text(), txtPort->text());
    const bool applied = SetProcessProxy(setting);
    // The next request of any page must go by the new setting, not only a later one.
    const QPointer<frmProxy> self(this);
    if (applied && services_.browsers)
        services_.browsers->followProcessProxy();
    if (!self)
        return;
    if (applied)
        tell(useProxy ? kUpdatedText : kClearedText, kMessageTitle, PromptIcon::Information);
    else
        tell(kFailedText, kMessageTitle, PromptIcon::Exclamation);
    done(QDialog::Accepted);
}

void frmProxy::cmdCancel_Click()
{
    done(QDialog::Rejected);
}

void frmProxy::cmdProxy_Click()
{
    QString host;
    QString port;
    if (!SplitProxyAddress(GetNextProxy(kProxyListFile), host, port))
        return;
    txtIP->setText(host);
    txtPort->setText(port);
}

void frmProxy::SwitchOffAtExit()
{
    if (!chkUseProxy->isChecked() || txtIP->text().trimmed().isEmpty())
        return;
    chkUseProxy->setChecked(false);
    cmdOK_Click();
}

QString frmProxy::GetNextProxy(const QString& fileName)
{
    const QString path = QDir::toNativeSeparators(QDir(services_.programFolder).filePath(fileName));
    const ProxyListReply reply = TakeNextProxy(path);
    if (reply.status == ProxyListReply::Status::Failed) {
        tell(QStringLiteral("The proxy list \"%1\" cannot be used: %2.").arg(path, reply.reason),
             windowTitle(), PromptIcon::Exclamation);
        return QString();
    }
    return reply.proxy;
}

void frmProxy::tell(const QString& text, const QString& title, PromptIcon icon)
{
    if (services_.prompt)
        services_.prompt->ask(messageParent(), text, title, PromptButtons::Ok, icon);
}

QWidget* frmProxy::messageParent()
{
    // At Exit the dialog is hidden: the message belongs to the window in front.
    if (isVisible())
        return this;
    return QApplication::activeWindow();
}

} // namespace brackenly

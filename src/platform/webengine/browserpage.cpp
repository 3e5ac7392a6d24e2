#include "browserpage.h"

#include "helperscript.h"

#include <QAuthenticator>
#include <QWebEngineCertificateError>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineScriptCollection>

namespace brackenly {

BrowserPage::BrowserPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent)
{
    // Per page: the engine does not hand profile-wide scripts to a renderer that replaces a
    // crashed one.
    scripts().insert(HelperScript::script());

    // Without a handler the engine keeps these requests unanswered or asks nobody; while
    // silent they are refused outright.
    connect(this, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl&, QAuthenticator* authenticator) {
                if (silent_)
                    *authenticator = QAuthenticator();
            });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl&, QAuthenticator* authenticator, const QString&) {
                if (silent_)
                    *authenticator = QAuthenticator();
            });
    connect(this, &QWebEnginePage::certificateError, this,
            [this](const QWebEngineCertificateError& error) {
                if (silent_) {
                    QWebEngineCertificateError refused = error;
                    refused.rejectCertificate();
                }
            });
    // New windows come here rather than through createWindow, which is not told whether a
    // user's gesture asked for the window. Unhandled, the request is blocked.
    connect(this, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest& request) {
                if (QWebEnginePage* page =
                        newWindow_ ? newWindow_(request.isUserInitiated()) : nullptr)
                    request.openIn(page);
            });
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                if (silent_)
                    setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
}

void BrowserPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    if (!silent_)
        QWebEnginePage::javaScriptAlert(securityOrigin, msg);
}

bool BrowserPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    return !silent_ && QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
}

bool BrowserPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                                   const QString& defaultValue, QString* result)
{
    return !silent_ && QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
}

QStringList BrowserPage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                                     const QStringList& acceptedMimeTypes)
{
    if (silent_)
        return {};
    return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                           const QString& message, int lineNumber,
                                           const QString& sourceID)
{
    QJsonObject payload;
    switch (HelperScript::classify(message, &payload)) {
    case HelperScript::Message::Genuine:
        Q_EMIT helperMessage(payload);
        return;
    case HelperScript::Message::Forged:
        return; // a page imitating the helper: dropped unseen
    case HelperScript::Message::Foreign:
        QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
        return;
    }
}

bool BrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    // A server redirect continues the navigation already announced.
    if (type != NavigationTypeRedirect)
        Q_EMIT navigationStarting(url, isMainFrame);
    else if (isMainFrame)
        Q_EMIT navigationRedirected(url);
    return true;
}

} // namespace brackenly

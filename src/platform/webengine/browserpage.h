#pragma once

#include <QJsonObject>
#include <QWebEnginePage>
#include <functional>

namespace brackenly {

// The page of a WebEngineBrowser: carries the helper script, hears its console reports,
// keeps the engine's own dialogs away while silent and hands new windows to the browser.
class BrowserPage : public QWebEnginePage
{
    Q_OBJECT
public:
    // Told whether a user's gesture asked for the window.
    using NewWindowProvider = std::function<QWebEnginePage*(bool userInitiated)>;

    explicit BrowserPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    void setSilent(bool silent) { silent_ = silent; }
    bool silent() const { return silent_; }
    // Supplies the page a new window opens in; nullptr (or no provider) blocks the window.
    void setNewWindowProvider(NewWindowProvider provider) { newWindow_ = std::move(provider); }

Q_SIGNALS:
    // A genuine report of the helper script.
    void helperMessage(const QJsonObject& message);
    // A navigation of the top document or of a frame is about to start.
    void navigationStarting(const QUrl& url, bool isMainFrame);
    // A server redirect of the top document's navigation.
    void navigationRedirected(const QUrl& url);

protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    bool silent_ = false;
    NewWindowProvider newWindow_;
};

} // namespace brackenly

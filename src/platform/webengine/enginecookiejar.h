#pragma once

#include <QList>
#include <QNetworkCookieJar>
#include <QPointer>

class QWebEngineCookieStore;

namespace brackenly {

// A cookie jar for Qt Network requests that mirrors the engine's cookie store, so image
// downloads carry the cookies of the pages. Cookies that such answers set go back to the
// store, so the pages see them too.
class EngineCookieJar : public QNetworkCookieJar
{
    Q_OBJECT
public:
    // Loads the store's cookies and follows its changes from now on.
    explicit EngineCookieJar(QWebEngineCookieStore* store, QObject* parent = nullptr);

    bool setCookiesFromUrl(const QList<QNetworkCookie>& cookies, const QUrl& url) override;

private:
    QPointer<QWebEngineCookieStore> store_;
};

} // namespace brackenly

#include "proxysettle.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

namespace brackenly {

namespace {

// A loopback port nobody listens on: the probe ends at once, with nothing sent anywhere.
quint16 closedLoopbackPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 9; // discard: closed on any desktop
    return server.serverPort();
}

} // namespace

bool SettleEngineProxy(QWebEngineProfile* profile, int timeoutMs)
{
    if (!profile)
        return false;
    const QUrl probeUrl(QStringLiteral("http://127.0.0.1:%1/").arg(closedLoopbackPort()));
    QPointer<QWebEnginePage> probe = new QWebEnginePage(profile);
    bool finished = false;
    QEventLoop loop;
    QObject::connect(probe, &QWebEnginePage::loadFinished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    probe->load(probeUrl);
    if (!finished)
        loop.exec();
    if (probe)
        probe->deleteLater();
    return finished;
}

} // namespace brackenly

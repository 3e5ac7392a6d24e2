// Pictures of what a user sees, for review: the main window after a page loaded, the capture
// window and the main window during an image-saving run, the main window with its record
// panes, and the preferences, proxy and about dialogs. Run by scripts/screenshots.sh
// (which starts an X server of its own): screenshots <folder>.

#include "benchwait.h"
#include "browserapp.h"
#include "enginesession.h"
#include "fixtureserver.h"
#include "frmabout.h"
#include "frmbrowser.h"
#include "frmhome.h"
#include "frmproxy.h"
#include "networkimagedownloader.h"
#include "prompt.h"
#include "scenegraphbackend.h"
#include "webenginebrowserfactory.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

using namespace brackenly;

namespace {

QString folder;
int failures = 0;

// The window as the X server shows it, not as Qt would paint it again.
void shoot(QWidget* w, const char* name)
{
    waitFor([] { return false; }, 300); // lets pending paints reach the screen
    const QRect r = w->frameGeometry();
    const QPixmap picture = w->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
    const QString path = QDir(folder).filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (picture.isNull() || !picture.save(path)) {
        std::printf("could not save %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

QString page(const QString& title, const QStringList& body)
{
    return QStringLiteral(
               "<html><head><title>%1</title></head><body style='font-family:sans-serif'>"
               "<h1>%1</h1>%2</body></html>")
        .arg(title, body.join(u'\n'));
}

QString images(const QString& prefix, int count)
{
    QString html;
    for (int i = 0; i < count; ++i)
        html += QStringLiteral("<img src='%1-%2.gif' width='48' height='48' "
                               "style='background:#4a7;margin:4px'>")
                    .arg(prefix)
                    .arg(i);
    return html;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Brackenly"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    ChooseSceneGraphBackend();
    if (argc < 2) {
        std::printf("usage: screenshots <folder>\n");
        return 2;
    }
    folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    FixtureServer server;
    if (!server.start())
        return 2;
    for (int i = 0; i < 6; ++i)
        server.addImage(QStringLiteral("/img/a-%1.gif").arg(i));
    for (int p = 1; p <= 3; ++p) {
        for (int i = 0; i < 4; ++i)
            server.addImage(QStringLiteral("/img/p%1-%2.gif").arg(p).arg(i));
        server.addPage(QStringLiteral("/page%1.html").arg(p),
                       page(QStringLiteral("Linked page %1").arg(p),
                            {images(QStringLiteral("/img/p%1").arg(p), 4)}));
    }
    // The second linked page is slow, so the capture window is caught showing the first.
    server.setDelay(QStringLiteral("/page2.html"), 2500);
    server.addPage(QStringLiteral("/index.html"),
                   page(QStringLiteral("A gallery"),
                        {images(QStringLiteral("/img/a"), 6),
                         QStringLiteral("<p><a href='/page1.html'>Page 1</a> "
                                        "<a href='/page2.html'>Page 2</a> "
                                        "<a href='/page3.html'>Page 3</a></p>")}));

    QTemporaryDir data;
    WebEngineBrowserFactory browsers;
    NetworkImageDownloader downloader;
    ShareEngineSession(downloader);
    MessageBoxPrompt prompt;
    Services services;
    services.browsers = &browsers;
    services.prompt = &prompt;
    services.downloader = &downloader;
    services.programFolder = data.path();
    BrowserApp app(services);
    frmBrowser* w = app.startFirstWindow();

    const QString index = server.url(QStringLiteral("/index.html")).toString();
    w->txtUrl->setText(index);
    w->cmdPlayback->click();
    if (!waitFor([&] { return w->strLastUrl == index && w->cmdSaveImage->isEnabled(); }, 30000)) {
        std::printf("the page did not load\n");
        return 1;
    }
    shoot(w, "main-window");

    // During the run: once the slow page is asked for, the capture window shows the first.
    bool shot = false;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (shot || server.requestCount(QStringLiteral("/page2.html")) == 0)
            return;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QLatin1String("frmCapture") && top->isVisible()) {
                shot = true;
                shoot(top, "capture-window");
                shoot(w, "main-window-saving");
            }
        }
    });
    during.start(200);
    w->cmdSaveImage->click();
    during.stop();
    if (!shot) {
        std::printf("the capture window was not caught during the run\n");
        ++failures;
    }

    w->ShowRecordPanes();
    w->Form_Resize();
    shoot(w, "main-window-records");

    frmHome* preferences = app.preferences();
    preferences->show();
    shoot(preferences, "preferences");
    preferences->hide();
    frmProxy* proxy = app.loadProxyDialog();
    proxy->show();
    shoot(proxy, "proxy");
    proxy->hide();
    frmAbout about(w, data.path());
    about.show();
    shoot(&about, "about");
    about.hide();
    return failures == 0 ? 0 : 1;
}

// Measures the Qt WebEngine adapter: start-up, the document-model round trip, reading a
// large collection in one round trip, and a large batched form fill.
// Run: QTWEBENGINE_DISABLE_SANDBOX=1 xvfb-run -a ./bench_engine  (or QT_QPA_PLATFORM=offscreen)

#include "benchwait.h"
#include "dom.h"
#include "engineerror.h"
#include "fixtureserver.h"
#include "webenginebrowser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEngineView>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace brackenly;

namespace {

bool loadAndWait(WebEngineBrowser& browser, const QString& url)
{
    bool complete = false;
    auto connection = QObject::connect(&browser, &Browser::DocumentComplete,
                                       [&](const FrameRef& frame, const QString&) {
                                           if (frame.isTop())
                                               complete = true;
                                       });
    browser.Navigate(url);
    const bool ok = waitFor([&] { return complete; }, 30000);
    QObject::disconnect(connection);
    return ok;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

QString imagePage(int count)
{
    QString html = QStringLiteral("<html><body>");
    for (int i = 0; i < count; ++i)
        html += QStringLiteral("<img src='/img.gif#%1' width=1 height=1>").arg(i); // one fetch
    return html + QStringLiteral("</body></html>");
}

QString formPage(int fields)
{
    QString html = QStringLiteral("<html><body><form action='/done' id='f'>");
    for (int i = 0; i < fields; ++i)
        html += QStringLiteral("<input type=text name='f%1'>").arg(i);
    return html + QStringLiteral("<input type=submit id=go></form></body></html>");
}

void row(const char* what, const QString& figure, const char* target)
{
    std::printf("%-44s %16s   %s\n", what, qPrintable(figure), target);
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    FixtureServer server;
    if (!server.start()) {
        std::fprintf(stderr, "cannot start the fixture server\n");
        return 1;
    }
    const int imageCount = 10000;
    server.addPage(QStringLiteral("/blank"), QStringLiteral("<html><body>x</body></html>"));
    server.addPage(QStringLiteral("/images"), imagePage(imageCount));
    server.addImage(QStringLiteral("/img.gif"));
    server.addPage(QStringLiteral("/form"), formPage(500));
    server.addPage(QStringLiteral("/done"), QStringLiteral("<html><body>done</body></html>"));

    WebEngineBrowser browser;
    browser.widget()->resize(800, 600);
    browser.widget()->show();
    waitFor(
        [&] {
            return browser.widget()->windowHandle() &&
                   browser.widget()->windowHandle()->isExposed();
        },
        30000);
    const qint64 viewShownMs = sinceStart.elapsed();
    if (!loadAndWait(browser, server.url(QStringLiteral("/blank")).toString())) {
        std::fprintf(stderr, "the first page did not load\n");
        return 1;
    }
    const qint64 firstPageMs = sinceStart.elapsed();

    try {
        auto document = browser.document();
        QList<double> trips;
        for (int i = 0; i < 200; ++i) {
            QElapsedTimer t;
            t.start();
            document->frameCount();
            trips.append(t.nsecsElapsed() / 1e6);
        }

        if (!loadAndWait(browser, server.url(QStringLiteral("/images")).toString()))
            throw EngineError(QStringLiteral("the image page did not load"));
        document = browser.document();
        qint64 before = browser.roundTrips();
        QElapsedTimer t;
        t.start();
        const QList<DomImage> images = document->images();
        const double imagesMs = t.nsecsElapsed() / 1e6;
        const qint64 imageTrips = browser.roundTrips() - before;
        QList<double> again;
        for (int i = 0; i < 5; ++i) {
            t.restart();
            document->images();
            again.append(t.nsecsElapsed() / 1e6);
        }
        t.restart();
        const QString markup = document->markup();
        const double markupMs = t.nsecsElapsed() / 1e6;

        if (!loadAndWait(browser, server.url(QStringLiteral("/form")).toString()))
            throw EngineError(QStringLiteral("the form page did not load"));
        document = browser.document();
        t.restart();
        const QList<DomForm> forms = document->forms().items;
        const double formsMs = t.nsecsElapsed() / 1e6;
        before = browser.roundTrips();
        t.restart();
        const DomForm& form = forms.at(0);
        for (const DomElement& field : form.elements) {
            if (field.type == QLatin1String("text"))
                document->setValue(field.handle, QStringLiteral("value of ") + field.name);
        }
        document->click(form.elements.last().handle);
        const double fillMs = t.nsecsElapsed() / 1e6;
        const qint64 fillTrips = browser.roundTrips() - before;

        std::printf("%-44s %16s   %s\n", "measure", "figure", "target");
        row("start-up to first view shown", QStringLiteral("%1 ms").arg(viewShownMs), "");
        row("start-up to first page complete", QStringLiteral("%1 ms").arg(firstPageMs), "");
        row("round trip, median of 200", QStringLiteral("%1 ms").arg(median(trips), 0, 'f', 3),
            "< 1 ms");
        row("read images of a 10,000-image page", QStringLiteral("%1 ms").arg(imagesMs, 0, 'f', 1),
            "< 50 ms");
        row("  the same read again, median of 5",
            QStringLiteral("%1 ms").arg(median(again), 0, 'f', 1), "< 50 ms");
        row("  images read / round trips",
            QStringLiteral("%1 / %2").arg(images.size()).arg(imageTrips), "10000 / 1");
        row("read markup of that page",
            QStringLiteral("%1 ms (%2 kB)").arg(markupMs, 0, 'f', 1).arg(markup.size() / 1024), "");
        row("read forms, 500 fields", QStringLiteral("%1 ms").arg(formsMs, 0, 'f', 1), "");
        row("fill 500 fields + click", QStringLiteral("%1 ms").arg(fillMs, 0, 'f', 1), "< 100 ms");
        row("  round trips of the fill", QStringLiteral("%1").arg(fillTrips), "1");
    } catch (const EngineError& error) {
        std::fprintf(stderr, "engine error: %s\n", error.what());
        return 1;
    }
    return 0;
}

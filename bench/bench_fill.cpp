// Measures a recorded form played back on the real engine: a page with a 500-field form
// completes, the playback step finds the record, fills the form and clicks its submit button.
// Run: QTWEBENGINE_DISABLE_SANDBOX=1 xvfb-run -a ./bench_fill  (or QT_QPA_PLATFORM=offscreen)

#include "benchwait.h"
#include "browser.h"
#include "fakebrowser.h"
#include "fakedocument.h"
#include "fixtureserver.h"
#include "playbackdriver.h"
#include "playbackhost.h"
#include "prompt.h"
#include "webenginebrowser.h"
#include "webenginebrowserfactory.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUrlQuery>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace brackenly;

namespace {

constexpr int kRuns = 15;
constexpr int kFields = 500;

// 500 fields of every kind the fill handles; the first one is recorded.
QString formPage()
{
    QString html = QStringLiteral("<html><body><form action='/done' id='login'>");
    for (int i = 0; i < kFields; ++i) {
        const QString name = QStringLiteral("f%1").arg(i);
        switch (i % 10) {
        case 1:
            html += QStringLiteral("<select name='%1'><option>a</option><option>b</option>"
                                   "<option>c</option></select>")
                        .arg(name);
            break;
        case 2:
            html += QStringLiteral("<input type=checkbox name='%1' value=on>").arg(name);
            break;
        case 3:
            html += QStringLiteral("<input type=radio name='%1' value=x><input type=radio "
                                   "name='%1' value=y>")
                        .arg(name);
            break;
        case 4:
            html += QStringLiteral("<textarea name='%1'></textarea>").arg(name);
            break;
        case 5:
            html += QStringLiteral("<select multiple name='%1'><option value=1>one</option>"
                                   "<option value=2>two</option></select>")
                        .arg(name);
            break;
        default:
            html += QStringLiteral("<input type=text name='%1' value='old'>").arg(name);
        }
    }
    return html + QStringLiteral("<input type=submit name=go value=Go></form></body></html>");
}

// The recording keeps at most 61 pairs; the rest of the text fields are emptied.
QString postData()
{
    QStringList pairs;
    for (int i = 0; i < 60; ++i) {
        const QString name = QStringLiteral("f%1").arg(i);
        switch (i % 10) {
        case 1:
            pairs << name + QStringLiteral("=b");
            break;
        case 2:
            pairs << name + QStringLiteral("=on");
            break;
        case 3:
            pairs << name + QStringLiteral("=y");
            break;
        case 5:
            pairs << name + QStringLiteral("=2");
            break;
        default:
            pairs << name + QStringLiteral("=v") + QString::number(i);
        }
    }
    return pairs.join(u'&');
}

class NoPrompt : public Prompt
{
public:
    PromptAnswer ask(QWidget*, const QString&, const QString&, PromptButtons, PromptIcon) override
    {
        return PromptAnswer::Cancel;
    }
};

class BenchHost : public PlaybackHost
{
public:
    QWidget* window() override { return widget; }
    Prompt& prompt() override { return noPrompt; }
    QString currentMode() override { return kPlaybackMode; }
    QString lastCompletedUrl() override { return lastUrl; }
    int permanentRecordCount() override { return 1; }
    Record permanentRecord(int) override { return record; }
    std::optional<Record> selectedRecord() override { return std::nullopt; }
    void goTo(const QString&) override {}
    void setStatusText(const QString& text) override { status = text; }

    QWidget* widget = nullptr;
    NoPrompt noPrompt;
    QString lastUrl;
    Record record;
    QString status;
};

double median(QList<double> values);

// The same form on the engine double: what the playback code itself costs, with no engine.
double doubleStepMs(BenchHost& host, const FillModeActions& actions)
{
    auto doc = FakeDocument::create(host.record.Url);
    FakeForm& form = doc->addForm(host.record.Action);
    for (int i = 0; i < kFields; ++i) {
        const QString name = QStringLiteral("f%1").arg(i);
        switch (i % 10) {
        case 1:
            form.addSelect(name, {{"a", "a"}, {"b", "b"}, {"c", "c"}});
            break;
        case 2:
            form.add("checkbox", name, "on");
            break;
        case 3:
            form.add("radio", name, "x");
            form.add("radio", name, "y");
            break;
        case 4:
            form.add("textarea", name);
            break;
        case 5:
            form.addSelect(name, {{"one", "1"}, {"two", "2"}}, true);
            break;
        default:
            form.add("text", name, "old");
        }
    }
    form.add("submit", "go", "Submit");
    FakeBrowser browser;
    browser.setDocument(doc);
    PlaybackDriver driver(host, actions);
    QList<double> times;
    for (int run = 0; run < kRuns; ++run) {
        host.lastUrl.clear();
        QElapsedTimer t;
        t.start();
        driver.PlaybackStep(browser.topFrame(), host.record.Url);
        times.append(t.nsecsElapsed() / 1e6);
    }
    return median(times);
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

void row(const char* what, const QString& figure, const char* target)
{
    std::printf("%-46s %18s   %s\n", what, qPrintable(figure), target);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    FixtureServer server;
    if (!server.start()) {
        std::fprintf(stderr, "cannot start the fixture server\n");
        return 1;
    }
    server.addPage(QStringLiteral("/form"), formPage());
    server.addPage(QStringLiteral("/done"), QStringLiteral("<html><body>done</body></html>"));
    const QString formUrl = server.url(QStringLiteral("/form")).toString();

    QWidget window;
    window.resize(900, 700);
    WebEngineBrowserFactory factory;
    Browser* browser = factory.create(&window);
    browser->widget()->resize(900, 700);
    window.show();
    waitFor([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 30000);

    BenchHost host;
    host.widget = &window;
    host.record = {QStringLiteral("Form"),
                   QStringLiteral("bench"),
                   formUrl,
                   server.url(QStringLiteral("/done")).toString(),
                   postData(),
                   QString(),
                   QString()};
    FillModeActions actions{new QAction(&window), new QAction(&window), new QAction(&window),
                            new QAction(&window)};
    for (QAction* a :
         {actions.mnuPromptFill, actions.mnuManualClick, actions.mnuAutoClick, actions.mnuNoFill})
        a->setCheckable(true);
    actions.mnuAutoClick->setChecked(true);
    PlaybackDriver driver(host, actions);

    auto* engine = qobject_cast<WebEngineBrowser*>(browser);
    QList<qint64> stepTrips;
    QElapsedTimer sinceComplete;
    QList<double> stepMs;
    QList<double> submitMs;
    int formCompletions = 0;
    int doneCompletions = 0;
    QObject::connect(browser, &Browser::DocumentComplete,
                     [&](const FrameRef& pDisp, const QString& url) {
                         if (url == formUrl && pDisp.isTop()) {
                             ++formCompletions;
                             const qint64 trips = engine ? engine->roundTrips() : 0;
                             sinceComplete.start();
                             try {
                                 driver.PlaybackStep(pDisp, url);
                             } catch (const std::exception& e) {
                                 std::fprintf(stderr, "playback step failed: %s\n", e.what());
                             }
                             stepMs.append(sinceComplete.nsecsElapsed() / 1e6);
                             stepTrips.append((engine ? engine->roundTrips() : 0) - trips);
                         }
                         if (url.contains(QLatin1String("/done")))
                             ++doneCompletions;
                         host.lastUrl = url;
                     });
    QObject::connect(&server, &FixtureServer::requestReceived, [&](const FixtureRequest&) {
        if (sinceComplete.isValid() && submitMs.size() < stepMs.size())
            submitMs.append(sinceComplete.nsecsElapsed() / 1e6);
    });

    for (int run = 0; run < kRuns; ++run) {
        server.clearRequests();
        const int before = formCompletions;
        const int doneBefore = doneCompletions;
        browser->Navigate(formUrl);
        // The next run starts once the answer page completed, so the form page is new again.
        if (!waitFor([&] { return formCompletions > before; }, 30000) ||
            !server.waitForRequest(QStringLiteral("/done"), 30000) ||
            !waitFor([&] { return doneCompletions > doneBefore; }, 30000)) {
            std::fprintf(stderr, "run %d: the form was not submitted\n", run + 1);
            return 1;
        }
        waitFor([&] { return submitMs.size() == stepMs.size(); }, 5000);
    }

    // The submission must carry the recorded values and the emptied fields.
    const QList<FixtureRequest> done = server.requestsFor(QStringLiteral("/done"));
    const QString target = done.isEmpty() ? QString() : done.last().target;
    const QUrlQuery query(QUrl(target).query());
    const bool valuesOk = query.queryItemValue(QStringLiteral("f0")) == u"v0" &&
                          query.queryItemValue(QStringLiteral("f11")) == u"b" &&
                          query.queryItemValue(QStringLiteral("f12")) == u"on" &&
                          query.queryItemValue(QStringLiteral("f13")) == u"y" &&
                          query.queryItemValue(QStringLiteral("f15")) == u"2" &&
                          query.queryItemValue(QStringLiteral("f100")).isEmpty() &&
                          query.queryItemValue(QStringLiteral("f59")) == u"v59";

    std::printf("%-46s %18s   %s\n", "measure (runs: 15)", "figure", "target");
    row("playback step: fill 500 fields + click, median",
        QStringLiteral("%1 ms").arg(median(stepMs), 0, 'f', 1), "< 100 ms");
    row("  worst run",
        QStringLiteral("%1 ms").arg(*std::max_element(stepMs.begin(), stepMs.end()), 0, 'f', 1),
        "");
    row("  engine round trips of the step",
        QString::number(*std::max_element(stepTrips.begin(), stepTrips.end())), "4");
    row("the same step on the engine double, median",
        QStringLiteral("%1 ms").arg(doubleStepMs(host, actions), 0, 'f', 1), "");
    row("DocumentComplete to the submission request",
        QStringLiteral("%1 ms").arg(median(submitMs), 0, 'f', 1), "");
    row("submitted values as recorded", valuesOk ? QStringLiteral("yes") : QStringLiteral("NO"),
        "yes");
    if (!valuesOk)
        std::fprintf(stderr, "submitted: %s\n", qPrintable(target));
    return valuesOk ? 0 : 1;
}

#include "enginepump.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimerEvent>

namespace brackenly::EnginePump {

namespace {

// The engine's private scheduler object; it runs the pump on each timer event it gets.
constexpr char kSchedulerClass[] = "QWebEngineMessagePumpScheduler";

QPointer<QObject>& scheduler()
{
    static QPointer<QObject> object;
    return object;
}

// Sees every event of the GUI thread until the scheduler's first, then goes.
class Finder : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer &&
            qstrcmp(watched->metaObject()->className(), kSchedulerClass) == 0 && !done_) {
            done_ = true;
            scheduler() = watched;
            deleteLater();
        }
        return false;
    }

private:
    bool done_ = false;
};

QPointer<Finder>& finder()
{
    static QPointer<Finder> object;
    return object;
}

} // namespace

void watch()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || scheduler() || finder())
        return;
    finder() = new Finder(app);
    app->installEventFilter(finder());
}

bool nudge()
{
    QObject* target = scheduler();
    if (!target)
        return false;
    QCoreApplication::postEvent(target, new QTimerEvent(0));
    return true;
}

} // namespace brackenly::EnginePump

#include "statuspacer.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVariant>

namespace brackenly {

namespace {

const char* const kPaintedAt = "brackenlyStatusPaintedAt";
const char* const kPending = "brackenlyStatusPending";

qint64 steadyMs()
{
    return QDeadlineTimer::current().deadline();
}

} // namespace

void SetStatusText(QLabel* panel, const QString& text, bool paintNow)
{
    if (!panel)
        return;
    const qint64 now = steadyMs();
    const QVariant last = panel->property(kPaintedAt);
    const qint64 since = last.isValid() ? now - last.toLongLong() : kStatusPaintMs;
    if (paintNow || since >= kStatusPaintMs) {
        panel->setUpdatesEnabled(true);
        panel->setText(text);
        panel->repaint();
        panel->setProperty(kPaintedAt, now);
        return;
    }
    // Too soon: keep the text, hold the painting until the pace allows it.
    panel->setUpdatesEnabled(false);
    panel->setText(text);
    if (panel->property(kPending).toBool())
        return;
    panel->setProperty(kPending, true);
    const QPointer<QWidget> target(panel);
    QTimer::singleShot(int(kStatusPaintMs - since), panel, [target] {
        if (!target)
            return;
        target->setProperty(kPending, false);
        target->setProperty(kPaintedAt, steadyMs());
        target->setUpdatesEnabled(true); // paints the latest text
    });
}

} // namespace brackenly

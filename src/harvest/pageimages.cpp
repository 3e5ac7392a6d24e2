#include "pageimages.h"

#include "modernimages.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace brackenly {

namespace {

// Long enough for a page's scroll handlers and visibility observers to add what they add.
constexpr int kScrollPauseMs = 100;

} // namespace

void ScrollToEnd(Document& doc, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    int before = -1;
    for (;;) {
        const DomScroll step = doc.scrollDown();
        if (step.atEnd && step.images == before)
            return;
        before = step.images;
        const qint64 left = limitMs - clock.elapsed();
        if (left <= 0)
            return;
        QEventLoop pause;
        QTimer::singleShot(int(std::min<qint64>(left, kScrollPauseMs)), &pause, &QEventLoop::quit);
        pause.exec();
    }
}

QList<DomImage> RunImages(Document& doc, bool modern, int scrollLimitMs)
{
    if (!modern)
        return doc.images();
    ScrollToEnd(doc, scrollLimitMs);
    return ModernImages(doc.imageSources());
}

} // namespace brackenly

#include "pageimages.h"

#include "modernimages.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace brackenly {

namespace {

// Long enough for a page's scroll handlers and visibility observers to add what they add.
constexpr int kScrollPauseMs = 100;
// At the end, a page that fetches its next batch takes a moment to add it: the walk ends
// after this many pauses there without a new image.
constexpr int kQuietPausesAtEnd = 5;

} // namespace

void ScrollToEnd(Document& doc, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    // A step's count is read before it scrolls: it shows what the previous step brought in.
    bool endReached = false;
    int before = -1;
    int quiet = 0;
    for (;;) {
        const DomScroll step = doc.scrollDown();
        quiet = endReached && step.images == before ? quiet + 1 : 0;
        if (quiet >= kQuietPausesAtEnd)
            return;
        endReached = step.atEnd;
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

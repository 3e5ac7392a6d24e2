#include "pageimages.h"

#include "modernimages.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>

namespace brackenly {

namespace {

// Long enough for a page's scroll handlers and visibility observers to add what they add.
constexpr int kScrollPauseMs = 100;
// At the end, a page that fetches its next batch takes a moment to add it: the walk ends
// after this many pauses there without a new image.
constexpr int kQuietPausesAtEnd = 5;

// With several capture windows, one page's walk may run inside another walk's pause. The own
// time of every walk that ended (its time less that of the walks inside it): an outer walk
// takes what ran during its pauses off its own time.
qint64 gWalkedMs = 0;

} // namespace

void ScrollToEnd(Document& doc, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 walkedBefore = gWalkedMs;
    const auto ownMs = [&] { return clock.elapsed() - (gWalkedMs - walkedBefore); };
    const auto addOwnTime = qScopeGuard([&] { gWalkedMs += ownMs(); });
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
        const qint64 left = limitMs - ownMs();
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

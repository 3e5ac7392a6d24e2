#pragma once

#include <QStringList>

namespace brackenly {

// What the helper of a prefetching page sent with the completion of its top document: the
// document's identity, frame count and image addresses at its load event. The completion's
// handler reads these instead of asking the page, which is busy for a while after loading.
struct CompletedTop
{
    qint64 token = 0;
    int frames = 0;
    QStringList images;
    quint64 generation = 0; // the load it belongs to
    bool current = true;    // false once its DocumentComplete has been handled
};

} // namespace brackenly

#pragma once

#include <QPointer>
#include <QWidget>

namespace brackenly {

// Watches a window across waits for events (and engine calls, which may wait too).
class HostGuard
{
public:
    explicit HostGuard(QWidget* window) : window_(window), watched_(window != nullptr) {}

    bool alive() const { return !watched_ || !window_.isNull(); }

private:
    QPointer<QWidget> window_;
    bool watched_;
};

} // namespace brackenly

#pragma once

#include <QObject>

class QSocketNotifier;

namespace brackenly {

// Turns SIGINT and SIGTERM into a signal on the event loop while it lives, so a run stopped
// by Ctrl+C or a job runner's time limit can end as a stop click does. The first one is
// handled; a second one ends the program at once, as without this. One at a time.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signal);

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace brackenly

#include "terminationsignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace brackenly {

#ifdef Q_OS_UNIX

namespace {

int gPipe[2] = {-1, -1};
struct sigaction gBefore[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

void onSignal(int signal)
{
    // Only async-signal-safe calls here: either signal now ends the program at once.
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    for (const int each : kSignals)
        ::sigaction(each, &byDefault, nullptr);
    const char number = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &number, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (gPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gPipe) != 0)
        return;
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char number = 0;
        if (::read(gPipe[0], &number, 1) == 1)
            Q_EMIT received(number);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int each : kSignals)
        sigaddset(&action.sa_mask, each);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i) {
        // A signal the parent ignored (a job started in the background by a shell) stays so.
        if (::sigaction(kSignals[i], nullptr, &gBefore[i]) == 0 && gBefore[i].sa_handler != SIG_IGN)
            ::sigaction(kSignals[i], &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (!notifier_)
        return;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &gBefore[i], nullptr);
    delete notifier_;
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

#else

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}
TerminationSignals::~TerminationSignals() = default;

#endif

} // namespace brackenly

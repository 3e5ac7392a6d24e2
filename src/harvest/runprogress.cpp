#include "runprogress.h"

#include "imageharvester.h"
#include "statuspacer.h"

#include <QProgressBar>
#include <QTimer>
#include <functional>

namespace brackenly {

void ShowRunProgress(ImageHarvester* harvester, QProgressBar* bar)
{
    bar->hide();
    auto* pacer = new QTimer(bar);
    pacer->setSingleShot(true);
    pacer->setInterval(kStatusPaintMs);
    // Enabling updates paints the latest counts with the next pass of the event loop.
    QObject::connect(pacer, &QTimer::timeout, bar, [bar] { bar->setUpdatesEnabled(true); });
    // A progress bar repaints at once on every new value, and painting a window that holds a
    // web view costs a whole frame: the values stay current, the painting follows at a pace.
    const auto change = [bar, pacer](const std::function<void()>& apply) {
        bar->setUpdatesEnabled(false);
        apply();
        if (!pacer->isActive())
            pacer->start();
    };
    QObject::connect(harvester, &ImageHarvester::runStarted, bar, [bar] {
        bar->setUpdatesEnabled(true);
        bar->setRange(0, 0);
        bar->setValue(0);
        bar->show();
    });
    QObject::connect(harvester, &ImageHarvester::itemsFound, bar, [bar, change](int count) {
        change([bar, count] { bar->setMaximum(bar->maximum() + count); });
    });
    QObject::connect(harvester, &ImageHarvester::itemHandled, bar,
                     [bar, change] { change([bar] { bar->setValue(bar->value() + 1); }); });
    // A run started while another winds down ends first; the bar stays for the other.
    QObject::connect(harvester, &ImageHarvester::runFinished, bar, [harvester, bar] {
        if (!harvester->isRunning())
            bar->hide();
    });
}

} // namespace brackenly

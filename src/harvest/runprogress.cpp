#include "runprogress.h"

#include "imageharvester.h"
#include "statuspacer.h"

#include <QProgressBar>

namespace brackenly {

void ShowRunProgress(ImageHarvester* harvester, QProgressBar* bar)
{
    bar->hide();
    QObject::connect(harvester, &ImageHarvester::runStarted, bar, [bar] {
        SetStatusText(
            bar,
            [bar] {
                bar->setRange(0, 0);
                bar->setValue(0);
                bar->show();
            },
            true);
    });
    QObject::connect(harvester, &ImageHarvester::itemsFound, bar, [bar](int count) {
        SetStatusText(bar, [bar, count] { bar->setMaximum(bar->maximum() + count); });
    });
    QObject::connect(harvester, &ImageHarvester::itemHandled, bar,
                     [bar] { SetStatusText(bar, [bar] { bar->setValue(bar->value() + 1); }); });
    // A run started while another winds down ends first; the bar stays for the other.
    QObject::connect(harvester, &ImageHarvester::runFinished, bar, [harvester, bar] {
        if (!harvester->isRunning())
            bar->hide();
    });
}

} // namespace brackenly

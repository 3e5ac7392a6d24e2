#include "harvestobserver.h"

#include "harvestrun.h"

#include <QStringList>

namespace brackenly {

void ReportImage(const HarvestRun& run, const ImageOutcome& outcome)
{
    if (run.observer)
        run.observer->imageMet(outcome);
}

QString FramePathText(const QList<int>& path)
{
    QStringList parts;
    for (int index : path)
        parts.append(QString::number(index));
    return parts.join(u'/');
}

} // namespace brackenly

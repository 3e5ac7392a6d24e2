#include "statusdots.h"

namespace brackenly {

QString AnimateDots(const QString& text)
{
    qsizetype p = text.size(); // 1-based position of the last character that is not "."
    while (p > 0 && text.at(p - 1) == QLatin1Char('.'))
        --p;
    const qsizetype dots = text.size() - p;
    if (dots < 20)
        return text + QStringLiteral("..");
    return text.left(p) + QLatin1Char('.');
}

} // namespace brackenly

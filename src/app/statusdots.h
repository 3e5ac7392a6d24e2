#pragma once

#include <QString>

namespace brackenly {

// One tick of the busy animation: the trailing run of dots grows by two until it
// reaches 20 or more, then is cut back to a single dot. A text made only of dots
// (or empty) counts as one whole dot run, so it cycles instead of growing forever.
QString AnimateDots(const QString& text);

} // namespace brackenly

#include "enginelog.h"

namespace brackenly {

Q_LOGGING_CATEGORY(lcEngine, "brackenly.engine", QtWarningMsg)

} // namespace brackenly

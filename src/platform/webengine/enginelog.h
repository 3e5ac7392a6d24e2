#pragma once

#include <QLoggingCategory>

namespace brackenly {

// "brackenly.engine": what the engine adapter did, at debug level.
Q_DECLARE_LOGGING_CATEGORY(lcEngine)

} // namespace brackenly

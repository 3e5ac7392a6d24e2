#pragma once

#include <QString>

namespace brackenly {

// Splits a proxy list entry "host:port" at its first ":" into the dialog's two boxes.
// False (host and port untouched) when the text has no ":".
bool SplitProxyAddress(const QString& text, QString& host, QString& port);

} // namespace brackenly

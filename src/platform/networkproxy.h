#pragma once

#include "proxysetting.h"

#include <QNetworkProxy>
#include <optional>

namespace brackenly {

// The Qt proxy for a setting, or nothing when the setting must be refused. Qt Network is
// private to this folder: no header that other folders include may name it.
std::optional<QNetworkProxy> ToNetworkProxy(const ProxySetting& setting);

} // namespace brackenly

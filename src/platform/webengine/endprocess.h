#pragma once

#include <QtGlobal>

namespace brackenly {

// Ends a process of ours at once, without letting it clean up (a renderer stuck in a page's
// script answers nothing else). False when there is no such process or it cannot be ended.
bool endProcess(qint64 pid);

} // namespace brackenly

#pragma once

class QWidget;

namespace brackenly {

// Places a window in the middle of its screen.
void CenterForm(QWidget* form);

} // namespace brackenly

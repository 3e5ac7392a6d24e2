#pragma once

#include <QString>

class QLabel;

namespace brackenly {

// Painting a window that holds a web view costs a whole frame, so a status line that changes
// for every saved image is painted at most every kStatusPaintMs. The text is always current;
// a change that comes sooner is painted when that time is up.
inline constexpr int kStatusPaintMs = 250;

// Sets the panel's text and paints it now or a little later. paintNow: paint at once
// whatever the pace (a final text). A null panel is passed over.
void SetStatusText(QLabel* panel, const QString& text, bool paintNow = false);

} // namespace brackenly

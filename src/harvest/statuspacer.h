#pragma once

#include <functional>

class QWidget;

namespace brackenly {

// Painting a window that holds a web view costs a whole frame, so a status line that changes
// for every saved image is painted at most every kStatusPaintMs. The text is always current;
// a change that comes sooner is painted when that time is up.
inline constexpr int kStatusPaintMs = 250;

// Runs change (which sets the panel's text) and paints the panel now or a little later.
// paintNow: paint at once whatever the pace (a final text). A null panel only runs change.
void SetStatusText(QWidget* panel, const std::function<void()>& change, bool paintNow = false);

} // namespace brackenly

#pragma once

#include "dom.h"

#include <QList>

namespace brackenly {

// Scrolls doc down a screen at a time, letting events run between steps, until its end is
// reached and the last step brought no new image, or limitMs have passed. Images that load
// only when scrolled into view are then in the document. May raise EngineError.
void ScrollToEnd(Document& doc, int limitMs);

// The images a run saves from one document: img.src as always, or with modern sources the
// document scrolled to its end, then the ModernImages of its sources. Events run meanwhile:
// callers check they still exist. May raise EngineError.
QList<DomImage> RunImages(Document& doc, bool modern, int scrollLimitMs);

} // namespace brackenly

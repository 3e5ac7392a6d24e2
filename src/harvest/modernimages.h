#pragma once

#include "dom.h"

#include <QList>
#include <QString>

namespace brackenly {

// The images to save among a document's sources: img.src, the largest candidate of each
// srcset (by width "w", else by density "x"), lazy addresses and the url() items of
// backgrounds, each resolved against the base, every address once, in document order.
// Placeholders (data: addresses, loaded pictures of 1×1 pixels) and empty addresses are
// left out.
QList<DomImage> ModernImages(const DomImageSources& sources);

} // namespace brackenly

#pragma once

#include <QList>
#include <functional>
#include <memory>

namespace brackenly {

class Document;

// Gets a document whose pictures a run saves and its frame index path from the top ({} for
// the top one); false ends the walk.
using DocumentVisit = std::function<bool(const std::shared_ptr<Document>&, const QList<int>&)>;

// Visits the documents of a page whose pictures a run saves, in order: a page without frames
// itself; a frameset's leaves, two frame levels deep (the page itself when none of its frames
// can be read). With `everyDocument` the page and the frames that hold frames come too, each
// before its own frames: today's pages merely embed a frame (an advertisement, a video) and
// keep their pictures in every document. A frame that cannot be read is passed over when
// `skipFailures`, else its failure ends the walk with the exception. False when `visit` ended
// the walk.
bool WalkDocuments(const std::shared_ptr<Document>& top, bool everyDocument, bool skipFailures,
                   const DocumentVisit& visit);

} // namespace brackenly

#include "documentwalk.h"

#include "dom.h"

#include <exception>

namespace brackenly {

bool WalkDocuments(const std::shared_ptr<Document>& top, bool everyDocument, bool skipFailures,
                   const DocumentVisit& visit)
{
    int frames = 0;
    try {
        frames = top->frameCount();
    } catch (const std::exception&) {
        if (!skipFailures)
            throw;
    }
    if ((frames == 0 || everyDocument) && !visit(top, {}))
        return false;
    bool reached = frames == 0 || everyDocument;
    for (int i = 0; i < frames; ++i) {
        try {
            const std::shared_ptr<Document> frame = top->frame(i);
            reached = true;
            const int inner = frame->frameCount();
            if ((inner == 0 || everyDocument) && !visit(frame, {i}))
                return false;
            for (int j = 0; j < inner; ++j) {
                if (!visit(frame->frame(j), {i, j}))
                    return false;
            }
        } catch (const std::exception&) {
            if (!skipFailures)
                throw; // else the rest of this frame is passed over
        }
    }
    return reached || visit(top, {});
}

} // namespace brackenly

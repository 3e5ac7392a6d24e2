#pragma once

#include <QString>

namespace brackenly {

// The file name an image address is saved under: the text after the last "/", or, when
// that holds a "?", its query with every "=" made "_" and ".jpg" added. Nothing else is
// changed, so the name may well be unusable as a file name (see IsSafeImageFileName).
QString GetFileName(const QString& strUrl);

// True when name can only ever mean a plain, visible file inside the image folder: not
// empty, not starting with ".", no "/" or "\", no control character, at most 255 bytes in
// UTF-8.
bool IsSafeImageFileName(const QString& name);

// folder + separator + GetFileName(src), or "" when there is no folder or the name is not
// safe: such an image is skipped like a failed download.
QString ImageFilePath(const QString& folder, const QString& src);

} // namespace brackenly

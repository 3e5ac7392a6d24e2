#pragma once

#include <QString>

namespace brackenly {

inline const QString kImageFolderName = QStringLiteral("Image");

// The program folder up to and including its first ':', or "C:" when it has none.
QString GetProgramDrive(const QString& programFolder);

// The image folder used when the settings name none: "Image" at the root of the program's
// drive when the program folder starts with one ("C:..."), otherwise "Image" inside the
// program folder.
QString DefaultImageFolder(const QString& programFolder);

} // namespace brackenly

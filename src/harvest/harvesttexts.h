#pragma once

#include <QString>

namespace brackenly {

inline const QString kSaveImageText = QStringLiteral("S A V E    I M A G E");
inline const QString kSavingImageText = QStringLiteral("S A V I N G    I M A G E .....");
inline const QString kCaptureCaption = QStringLiteral("Capture Image");
inline const QString kCapturePopupCaption = QStringLiteral("Capture Popup Image");
inline const QString kSavingPrefix = QStringLiteral("Saving ");
inline const QString kFinishedText = QStringLiteral("Finished");

} // namespace brackenly

#pragma once

#include <QString>

namespace brackenly {

inline const QString kFirstWindowCaption = QStringLiteral("Brackenly V1.1 (First Window)");
inline const QString kPopupCaptionPrefix = QStringLiteral("Brackenly v1.1 (Popup Window - Level ");
// "Search": a web search engine's home page. "Go to Website": the maker's site.
inline const QString kSearchUrl = QStringLiteral("https://duckduckgo.com/");
inline const QString kWebsiteUrl = QStringLiteral("https://brackenly.org/");
inline const QString kSaveImageCaption = QStringLiteral("S A V E    I M A G E");
inline const QString kSavingImageCaption = QStringLiteral("S A V I N G    I M A G E .....");

} // namespace brackenly

#pragma once

#include <QString>

namespace brackenly {

inline const QString kFirstWindowCaption = QStringLiteral("Brackenly V1.1 (First Window)");
// "Search": a web search engine's home page. "Go to Website": the maker's site.
inline const QString kSearchUrl = QStringLiteral("https://duckduckgo.com/");
inline const QString kWebsiteUrl = QStringLiteral("https://brackenly.org/");

} // namespace brackenly

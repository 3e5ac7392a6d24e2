#pragma once

#include "dom.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace brackenly {

// The src value written in a piece of markup (after the first " src=", letter case
// ignored): up to the same quote when quoted, else up to the first space or ">".
// "" when there is none or the value is not closed.
QString ExtractSrc(const QString& markup);

// Whether an image's resolved address ends with the address written in the markup, once up
// to three leading "../" are dropped from the latter.
bool MatchImageSrc(const QString& src, const QString& markupSrc);

// The address (text value) of the first link whose markup starts with an image tag showing
// src; "" when no link wraps it.
QString FindImageLink(const QList<DomLink>& links, const QString& src);

// A link whose markup starts with an image tag: the src written there and its address.
struct ImageWrappingLink
{
    QString markupSrc;
    QString text;
};
// The links that wrap an image, in page order: what FindImageLink looks at, read once for
// a document's images instead of once per image.
QList<ImageWrappingLink> ImageWrappingLinks(const QList<DomLink>& links);
QString FindImageLink(const QList<ImageWrappingLink>& links, const QString& src);

// A script link: its address holds "javascript:" in any letter case.
bool IsScriptLink(const QString& href);

// True when a link is not to be followed. An ordinary link is followed once: the first
// time it is met it is added to visited. A script link is skipped only when it holds
// ".external."; it is never recorded.
bool SkipLink(const QString& href, QStringList& visited);

// Whether a run follows this ordinary link, or saves this pop-up image: an "http://" address;
// with modern image sources an "https://" one too, as today's pages are served.
bool IsRunAddress(const QString& address, bool modern);

// Whether the capture window loads this address: not when a "#" comes before any "?".
bool ShouldLoadCaptureAddress(const QString& url);

// The caption of a pop-up level window of the given level (1 for a pop-up of the first).
QString PopupWindowCaption(qint32 level);

// The third status panel after count blocked pop-ups.
QString BlockedPopupText(qint32 count);

} // namespace brackenly

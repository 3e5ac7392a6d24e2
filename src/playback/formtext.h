#pragma once

#include <QString>

namespace brackenly {

// Text rules that tie a recorded form action to a form of the page.

// The part after the last "/"; the whole text when it has no "/".
QString LastPathSegment(const QString& text);

// The last path segment of an address; a query string stays part of it.
QString FileNameOf(const QString& url);

// The last path segment of the address cut before its first "?".
QString PageNameOf(const QString& url);

// Equal ignoring case, or both file names non-empty and equal (case-sensitive).
bool SameFileName(const QString& a, const QString& b);

// Equal ignoring case, or both page names non-empty and equal (case-sensitive).
bool SamePageName(const QString& a, const QString& b);

// Whether an address names a page with an origin of its own (http, https, ftp, file).
// about:blank, about:srcdoc, data:, javascript: and the like take their origin, if any, from
// whatever made them, so values recorded there belong to no page that can be found again.
bool HasOwnOrigin(const QString& url);

// Whether a document now at `address` may receive the values recorded on the page
// `recordUrl`: the document still shows that address (letter case ignored, as the playback
// step compares them) or, for a frame of that document (`frame`), a page of its origin.
// Never for a page without an origin of its own.
bool MayFillAt(const QString& recordUrl, const QString& address, bool frame);

// The action address of the form with this id in the page markup (the first form tag when
// id is ""), or "". The id test looks for id=<id> anywhere in the tag, letter case ignored;
// a quoted value must match whole.
QString FindFormAction(const QString& markup, const QString& id);

// The action address written in one form start tag, or "". An unquoted value ends before
// the next space, or before ">" when no space follows; a quoted value ends at its quote.
QString ExtractFormAction(const QString& tag);

} // namespace brackenly

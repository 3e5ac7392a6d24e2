#pragma once

class QWebEngineProfile;

namespace brackenly {

// The one engine profile of the process (off the record). Every page uses it, so pages and
// downloads share cookies, cache and proxy. Created on first use; needs a QApplication.
QWebEngineProfile* sharedProfile();

} // namespace brackenly

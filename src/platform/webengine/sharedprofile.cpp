#include "sharedprofile.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWebEngineProfile>

namespace brackenly {

QWebEngineProfile* sharedProfile()
{
    // Owned by the application object so it outlives every page of a normal run.
    static QPointer<QWebEngineProfile> profile;
    if (profile.isNull())
        profile = new QWebEngineProfile(QCoreApplication::instance());
    return profile;
}

} // namespace brackenly

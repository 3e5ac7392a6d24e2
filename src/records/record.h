#pragma once

#include <QString>

namespace brackenly {

// One recorded step of browsing: a submitted form or a plain address.
// The field order is the order records are passed and stored in.
struct Record
{
    QString Type;
    QString Session;
    QString Url;
    QString Action;
    QString Postdata;
    QString Header;
    QString Frame;

    bool operator==(const Record&) const = default;
};

// A Session of this value means "no name chosen yet": a name is generated on append.
inline const QString kSysgenName = QStringLiteral("*sysgen*");

} // namespace brackenly

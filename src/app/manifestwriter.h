#pragma once

#include "harvestobserver.h"

#include <QFile>
#include <QString>

namespace brackenly {

// The manifest of a run from the command line: JSON Lines, one row per image met, with the
// size and SHA-256 of the file on disk for "saved" and "exists".
class ManifestWriter
{
public:
    explicit ManifestWriter(const QString& path);

    // Empty when the file is open for writing, else why not.
    QString open();
    void write(const QString& page, const ImageOutcome& outcome);
    // Empty when every row reached the file, else why not.
    QString close();

    // The row of one image, without its line end.
    static QByteArray row(const QString& page, const ImageOutcome& outcome);

private:
    QFile file_;
    bool failed_ = false;
};

} // namespace brackenly

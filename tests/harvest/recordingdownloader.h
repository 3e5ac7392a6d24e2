#pragma once

#include "imagedownloader.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace brackenly {

// Stores the address as the file's content, the way the real one stores the bytes: never
// over an existing file, nothing for an address in `failing`.
class RecordingDownloader : public ImageDownloader
{
public:
    struct Call
    {
        QString src;
        QString path;
        QPointer<Browser> page;
        const Browser* pageId = nullptr; // to compare after the page is gone
    };

    bool download(const QString& src, const QString& path, Browser* page) override;

    QStringList sources() const;
    QStringList fileNames() const; // the names asked for, in order

    QList<Call> calls;
    QSet<QString> failing;
    // Runs before the file is written, as a download that lets events run would.
    std::function<void(const QString& src)> during;
};

class RecordingFolderOpener : public FolderOpener
{
public:
    bool openFolder(const QString& folder) override
    {
        opened << folder;
        return true;
    }
    QStringList opened;
};

} // namespace brackenly

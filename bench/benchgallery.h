#pragma once

#include "fixtureserver.h"

#include <QString>
#include <QStringList>

namespace brackenly {

// One index page with `images` images and `linkedPages` links to pages holding
// `imagesPerPage` images each; every image path (and file name) is distinct. Each answer
// waits `delayMs` first, as a server across the internet keeps a browser waiting.
struct Gallery
{
    QString indexPath;
    QStringList pagePaths;
};

inline Gallery addGallerySite(FixtureServer& server, int images, int linkedPages, int imagesPerPage,
                              int delayMs = 0, const QString& prefix = QStringLiteral("/gallery"))
{
    const auto imagesOf = [&](const QString& name, int count) {
        QString html;
        for (int i = 0; i < count; ++i) {
            const QString image = prefix + QStringLiteral("/img/%1-%2.gif").arg(name).arg(i);
            server.addImage(image);
            server.setDelay(image, delayMs);
            html += QStringLiteral("<img src=\"%1\">\n").arg(image);
        }
        return html;
    };
    Gallery gallery{prefix + QStringLiteral("/index.html"), {}};
    QString index = imagesOf(QStringLiteral("i"), images);
    for (int p = 0; p < linkedPages; ++p) {
        gallery.pagePaths << prefix + QStringLiteral("/page%1.html").arg(p);
        index +=
            QStringLiteral("<a href=\"%1\">Page %2</a>\n").arg(gallery.pagePaths.last()).arg(p);
        server.addPage(gallery.pagePaths.last(),
                       QStringLiteral("<html><body>\n%1</body></html>\n")
                           .arg(imagesOf(QStringLiteral("p%1").arg(p), imagesPerPage)));
        server.setDelay(gallery.pagePaths.last(), delayMs);
    }
    server.addPage(gallery.indexPath,
                   QStringLiteral("<html><body>\n%1</body></html>\n").arg(index));
    server.setDelay(gallery.indexPath, delayMs);
    return gallery;
}

} // namespace brackenly

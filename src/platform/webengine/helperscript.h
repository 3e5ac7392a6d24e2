#pragma once

#include <QJsonObject>
#include <QString>

class QWebEngineScript;

namespace brackenly {

// The helper library injected into every frame, and the console channel it reports on.
class HelperScript
{
public:
    // The isolated world the helper runs in; nothing else of ours or the page's runs there.
    static constexpr quint32 worldId = 211;

    // The helper, installed at document creation in every frame. With eagerMaxBytes > 0 the
    // top document reads its images (up to that size each) once it has loaded.
    static QWebEngineScript script(qint64 eagerMaxBytes = 0);
    // Its source: a statement that installs it in the document it runs in, once.
    static QString source(qint64 eagerMaxBytes = 0);
    // The script's name in a page's script collection.
    static QString name();

    enum class Message
    {
        Foreign,
        Forged,
        Genuine
    };
    // Sorts a console message: not ours, ours without this process's secret, or genuine
    // (then payload receives its content).
    static Message classify(const QString& message, QJsonObject* payload);

    // What every helper message starts with (before the secret).
    static QString prefix();
};

} // namespace brackenly

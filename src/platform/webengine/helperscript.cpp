#include "helperscript.h"

#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QWebEngineScript>
#include <algorithm>

namespace brackenly {

namespace {

// Printed by the helper before the secret; a page can print it too, but not the secret.
const QString kPrefix = QStringLiteral("brackenly-helper:");

// A page cannot read the source of an isolated-world script, so a secret embedded there
// proves a console message came from the helper.
const QString& secret()
{
    static const QString value = [] {
        QString hex;
        for (int i = 0; i < 4; ++i)
            hex +=
                QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, u'0');
        return hex;
    }();
    return value;
}

// One function in two files (each stays short enough to read), joined in this order.
QString helperSource()
{
    QString source;
    for (const char* part : {"dom", "images"}) {
        QFile file(QStringLiteral(":/brackenly/js/helper-%1.js").arg(QLatin1String(part)));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("The engine helper script is missing from the resources");
        source += QString::fromUtf8(file.readAll());
    }
    source.replace(QStringLiteral("@SECRET@"), secret());
    source.replace(QStringLiteral("@PREFIX@"), kPrefix);
    return source;
}

} // namespace

QString HelperScript::source(qint64 eagerMaxBytes)
{
    static const QString source = helperSource();
    QString variant = source;
    variant.replace(QStringLiteral("@EAGER@"), QString::number(std::max<qint64>(0, eagerMaxBytes)));
    return variant;
}

QString HelperScript::name()
{
    return QStringLiteral("brackenly-helper");
}

QWebEngineScript HelperScript::script(qint64 eagerMaxBytes)
{
    QWebEngineScript script;
    script.setName(name());
    script.setWorldId(worldId);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(source(eagerMaxBytes));
    return script;
}

HelperScript::Message HelperScript::classify(const QString& message, QJsonObject* payload)
{
    if (!message.startsWith(kPrefix))
        return Message::Foreign;
    const QString& key = secret();
    const qsizetype at = kPrefix.size();
    if (message.size() <= at + key.size() || QStringView(message).mid(at, key.size()) != key ||
        message.at(at + key.size()) != u':')
        return Message::Forged;
    const QJsonDocument json = QJsonDocument::fromJson(message.mid(at + key.size() + 1).toUtf8());
    if (!json.isObject())
        return Message::Forged;
    if (payload)
        *payload = json.object();
    return Message::Genuine;
}

QString HelperScript::prefix()
{
    return kPrefix;
}

} // namespace brackenly

#include "pushedimages.h"

namespace brackenly {

QHash<QString, QByteArray> DecodeImageBytes(const QJsonObject& bytes, qint64 maxBytes)
{
    QHash<QString, QByteArray> decoded;
    for (auto it = bytes.constBegin(); it != bytes.constEnd(); ++it) {
        const auto result = QByteArray::fromBase64Encoding(it.value().toString().toLatin1(),
                                                           QByteArray::AbortOnBase64DecodingErrors);
        if (result && !result.decoded.isEmpty() && result.decoded.size() <= maxBytes)
            decoded.insert(it.key(), result.decoded);
    }
    return decoded;
}

void PushedImages::expect(qint64 token)
{
    bytes_.clear();
    expected_ = token;
}

bool PushedImages::receive(qint64 token, const QJsonObject& bytes, qint64 maxBytes)
{
    if (token == 0 || token != expected_)
        return false; // late, for a document already gone
    expected_ = 0;
    bytes_ = DecodeImageBytes(bytes, maxBytes);
    return true;
}

QHash<QString, QByteArray> PushedImages::take(const QStringList& srcs, qint64 maxTotal)
{
    QHash<QString, QByteArray> found;
    qint64 total = 0;
    for (const QString& src : srcs) {
        const auto it = bytes_.constFind(src);
        if (it == bytes_.constEnd() || total + it->size() > maxTotal)
            continue;
        total += it->size();
        found.insert(src, *it);
        bytes_.erase(it);
    }
    return found;
}

void PushedImages::clear()
{
    expected_ = 0;
    bytes_.clear();
}

} // namespace brackenly

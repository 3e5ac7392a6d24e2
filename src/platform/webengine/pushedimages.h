#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QStringList>

namespace brackenly {

// The helper's answer of image bytes (address -> base64) decoded: what decodes to a non-empty
// value of at most maxBytes.
QHash<QString, QByteArray> DecodeImageBytes(const QJsonObject& bytes, qint64 maxBytes);

// Image bytes a prefetching page sends by itself once its top document has loaded, kept
// until they are taken or the next document starts loading.
class PushedImages
{
public:
    // The helper announced bytes for the document with this token.
    void expect(qint64 token);
    // The token of announced bytes not received yet; 0 when none.
    qint64 expected() const { return expected_; }
    // Keeps the bytes when they are the announced ones: decoded, each at most maxBytes.
    bool receive(qint64 token, const QJsonObject& bytes, qint64 maxBytes);
    // Removes and returns the bytes held of `srcs`, at most `maxTotal` together.
    QHash<QString, QByteArray> take(const QStringList& srcs, qint64 maxTotal);
    void clear();

private:
    qint64 expected_ = 0;
    QHash<QString, QByteArray> bytes_;
};

} // namespace brackenly

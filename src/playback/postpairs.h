#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace brackenly {

// The recorded name=value pairs of one fill: the working data of a single fill call, so a
// fill started while another waits for events works on its own pairs.
class PostPairs
{
public:
    // Splits the post data; pairs stay as recorded (still URL-encoded).
    explicit PostPairs(const QString& postData);

    struct Lookup
    {
        bool found = false;
        QString value; // decoded; "" when not found
    };
    struct Collected
    {
        bool found = false;
        QStringList values; // decoded, in recorded order
    };

    // name: a field name in lower case, compared with each decoded recorded name in lower case.
    Lookup LookupPostValue(const QString& name) const;
    Collected CollectPostValues(const QString& name) const;

    // As recorded, in recorded order.
    const QStringList& PostNames() const { return names_; }
    const QStringList& PostValues() const { return values_; }
    int count() const { return int(names_.size()); }

private:
    QStringList names_;
    QStringList values_;
    // Decoding is pure, so each pair is decoded once instead of at every comparison.
    QStringList decodedNames_; // lower case
    QStringList decodedValues_;
};

} // namespace brackenly

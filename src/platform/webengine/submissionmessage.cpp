#include "submissionmessage.h"

#include <QJsonArray>

namespace brackenly {

std::optional<FormSubmission> ParseSubmissionMessage(const QJsonObject& message, Browser* browser)
{
    const QJsonValue path = message.value(QStringLiteral("p"));
    const QJsonValue url = message.value(QStringLiteral("u"));
    const QJsonValue action = message.value(QStringLiteral("a"));
    const QJsonValue target = message.value(QStringLiteral("g"));
    const QJsonValue fields = message.value(QStringLiteral("f"));
    if (!path.isArray() || !url.isString() || !action.isString() || !target.isString() ||
        !fields.isArray())
        return std::nullopt;

    FormSubmission submission;
    QList<int> indexes;
    for (const QJsonValue& index : path.toArray()) {
        const double value = index.toDouble(-1);
        if (value < 0 || value > 1e6 || value != int(value))
            return std::nullopt;
        indexes.append(int(value));
    }
    submission.frame = FrameRef(browser, indexes);
    submission.url = url.toString();
    submission.action = action.toString();
    submission.target = target.toString();
    for (const QJsonValue& field : fields.toArray()) {
        const QJsonArray pair = field.toArray();
        if (pair.size() != 2 || !pair.at(0).isString() || !pair.at(1).isString())
            return std::nullopt;
        submission.fields.append({pair.at(0).toString(), pair.at(1).toString()});
    }
    return submission;
}

} // namespace brackenly

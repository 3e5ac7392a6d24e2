#include "postpairs.h"

#include "recordtext.h"

namespace brackenly {

PostPairs::PostPairs(const QString& postData)
{
    SplitPostData(postData, names_, values_);
    decodedNames_.reserve(names_.size());
    decodedValues_.reserve(values_.size());
    for (qsizetype i = 0; i < names_.size(); ++i) {
        decodedNames_.append(UrlDecode(names_.at(i)).toLower());
        decodedValues_.append(UrlDecode(values_.at(i)));
    }
}

PostPairs::Lookup PostPairs::LookupPostValue(const QString& name) const
{
    const qsizetype at = decodedNames_.indexOf(name);
    if (at < 0)
        return {};
    return {true, decodedValues_.at(at)};
}

PostPairs::Collected PostPairs::CollectPostValues(const QString& name) const
{
    Collected result;
    for (qsizetype i = 0; i < decodedNames_.size(); ++i) {
        if (decodedNames_.at(i) == name)
            result.values.append(decodedValues_.at(i));
    }
    result.found = !result.values.isEmpty();
    return result;
}

} // namespace brackenly

// SplitPostData and the pairs a fill works on: the pairs are the pieces between "&" that
// hold "=", split at their first "=", in order; all of them up to 60, else 60 or 61; a
// text without a pair leaves the lists alone; and every recorded name is found again.

#include "fuzztext.h"
#include "postpairs.h"
#include "recordtext.h"

using namespace brackenly;
using namespace brackenly::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ExactText postData(InputTexts(data, size, 1).at(0));
    const QStringList before{QStringLiteral("old name")};
    QStringList names = before;
    QStringList values = before + before;
    SplitPostData(postData.str(), names, values);

    QStringList pieces;
    for (const QString& piece : postData.str().split(u'&'))
        if (piece.contains(u'='))
            pieces << piece;
    if (pieces.isEmpty()) {
        FUZZ_CHECK(names == before && values == before + before, postData.str());
        return 0;
    }
    FUZZ_CHECK(names.size() == values.size(), postData.str());
    const qsizetype count = names.size();
    if (pieces.size() <= 60)
        FUZZ_CHECK(count == pieces.size(), postData.str());
    else
        FUZZ_CHECK(count == 60 || count == 61, postData.str());
    for (qsizetype i = 0; i < count; ++i) {
        FUZZ_CHECK(!names.at(i).contains(u'='), postData.str());
        FUZZ_CHECK(names.at(i) + u'=' + values.at(i) == pieces.at(i), postData.str());
    }

    const PostPairs pairs(postData.str());
    FUZZ_CHECK(pairs.PostNames() == names && pairs.PostValues() == values, postData.str());
    for (const QString& name : names) {
        const QString key = UrlDecode(name).toLower();
        FUZZ_CHECK(pairs.LookupPostValue(key).found, postData.str());
        FUZZ_CHECK(pairs.CollectPostValues(key).values.first() == pairs.LookupPostValue(key).value,
                   postData.str());
    }
    return 0;
}

#include "AlbumOverview.h"

#include "TextNumber.h"
#include "rvWindow.h"

#include <QFileInfo>

namespace {

// The member of a dictionary under key when it is of the wanted kind, else no
// value: an album or image record of an unexpected shape counts as lacking it,
// as the window's own album-data operations take it.
Value memberOfKind(const Value &dictionary, const QString &key, Value::Kind kind)
{
    Value member = dictionary.value(key);
    return member.kind() == kind ? member : Value();
}

} // namespace

AlbumPhotoCounts albumPhotoCounts(const rvWindow &window, int32_t albumIndex)
{
    AlbumPhotoCounts counts;
    if (window.gPlist.isNone() || albumIndex < 0 || albumIndex >= window.gAlbumsArray.count())
        return counts;
    const Value keys = memberOfKind(window.gAlbumsArray.at(albumIndex), QStringLiteral("KeyList"),
                                    Value::Kind::Array);
    const qsizetype count = keys.count();
    counts.photos = saturatedInt32(count);

    const QString imagePathKey = QStringLiteral("ImagePath");
    qsizetype without = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const Value key = keys.at(i);
        const Value record = key.isString() ? window.gMasterImageDictList.value(key.toString()) : Value();
        const Value imagePath = memberOfKind(record, imagePathKey, Value::Kind::String);
        // A folder is no image file either.
        if (imagePath.isNone() || !QFileInfo(imagePath.toString()).isFile())
            ++without;
    }
    counts.withoutImageFile = saturatedInt32(without);
    return counts;
}

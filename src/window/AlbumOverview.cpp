#include "AlbumOverview.h"

#include "rvWindow.h"

#include <QFileInfo>

namespace {

QString counted(int32_t count, const char *one, const char *many)
{
    return QString::fromUtf8(count == 1 ? one : many).arg(count);
}

} // namespace

AlbumOverview albumOverview(rvWindow &window, FileLookup files)
{
    AlbumOverview overview;
    overview.photoCount = window.getFilesCount();
    countPhotos(window, overview, 0, overview.photoCount);
    if (files == FileLookup::Now)
        lookForFiles(overview);
    return overview;
}

void countPhotos(rvWindow &window, AlbumOverview &overview, int32_t from, int32_t to)
{
    for (int32_t index = from; index < to; ++index)
        countPhoto(overview, index, window.photoAt(index));
}

void countPhoto(AlbumOverview &overview, int32_t index, const rvWindow::Photo &photo)
{
    if (!photo.hasSlide) {
        ++overview.withoutImagePath;
        overview.photos.append({index, AlbumOverview::Problem::NoImagePath, photo.displayName, {}});
        return;
    }
    overview.slidesToLookFor.append({index, AlbumOverview::Problem::FileMissing, photo.displayName, photo.path});
}

void lookForFiles(AlbumOverview &overview)
{
    for (const AlbumOverview::Photo &slide : std::as_const(overview.slidesToLookFor)) {
        if (!QFileInfo(slide.path).isFile()) {
            ++overview.missingFiles;
            overview.photos.append(slide);
        }
    }
    overview.slidesToLookFor.clear();
}

QString overviewSummary(const AlbumOverview &overview)
{
    QString summary = overview.photoCount == 0 ? QStringLiteral("No photos")
                                               : counted(overview.photoCount, "%1 photo", "%1 photos");
    if (overview.withoutImageFile() > 0)
        summary += QString::fromUtf8(" · %1 without an image file").arg(overview.withoutImageFile());
    return summary;
}

QString overviewDetails(const AlbumOverview &overview)
{
    QStringList parts;
    if (overview.withoutImagePath > 0)
        parts << counted(overview.withoutImagePath, "%1 has no image path", "%1 have no image path");
    if (overview.missingFiles > 0)
        parts << counted(overview.missingFiles, "%1 file is missing", "%1 files are missing");
    return parts.join(QString::fromUtf8(" · "));
}

QString overviewListing(const AlbumOverview &overview)
{
    const struct {
        AlbumOverview::Problem problem;
        const char *heading;
    } kinds[] = {
        {AlbumOverview::Problem::NoImagePath, "No image path (no slide is written):"},
        {AlbumOverview::Problem::FileMissing, "Image file missing (the slide is written all the same):"},
    };
    QStringList lines;
    for (const auto &kind : kinds) {
        QStringList entries;
        for (const AlbumOverview::Photo &photo : overview.photos) {
            if (photo.problem == kind.problem)
                entries << (photo.path.isEmpty() ? photo.name : photo.name + '\t' + photo.path);
        }
        if (entries.isEmpty())
            continue;
        if (!lines.isEmpty())
            lines << QString();
        lines << QString::fromLatin1(kind.heading) << entries;
    }
    return lines.join('\n');
}

// The MLT project rendered from the slideshow document: its timeline read back
// as a compact outline, its profile, its text, and the save road choosing it.

#include "../json/json_test_support.h"
#include "KdenliveWriter.h"
#include "MltWriter.h"
#include "SaveRoad.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <utility>

namespace {

using fixtures::SaveRoad;

Value document(int32_t photoDuration, int32_t transDuration, const QString &style, const QStringList &paths,
               int32_t width = 64, int32_t height = 48, int32_t timebase = 25, const char *ntsc = "FALSE",
               const QString &title = "Show")
{
    using jsontest::dict, jsontest::str;
    Value slides = Value::array();
    for (const QString &path : paths)
        slides.append(dict({{"name", str("n")}, {"path", Value::string(path)}}));
    const auto n = [](qsizetype i) { return Value::integer(int32_t(i)); };
    return dict({{"sequence", dict({{"projectName", Value::string(title)}, {"slideCount", n(paths.size())},
                                    {"ntsc", str(ntsc)}, {"timebase", n(timebase)}, {"compHeight", n(height)},
                                    {"compWidth", n(width)}, {"transDuration", n(transDuration)},
                                    {"photoDuration", n(photoDuration)}, {"showStyle", Value::string(style)}})},
                 {"slides", slides}});
}

// The project as lines: the profile, then each producer, playlist and
// tractor: its id, in-out and other attributes, its property elements, and
// what it holds (entries, tracks, blanks, transitions, each with its
// attributes and properties). An XML error gives the single line "error: ...".
QStringList outline(const QByteArray &xml)
{
    QStringList lines, uses;
    QString line;
    QXmlStreamReader reader(xml);
    QStringList open; // the elements open around the reader
    const auto described = [](const QXmlStreamAttributes &attributes) {
        QString text;
        if (attributes.hasAttribute("id"))
            text = attributes.value("id").toString();
        if (attributes.hasAttribute("in"))
            text += " " + attributes.value("in").toString() + "-" + attributes.value("out").toString();
        for (const QXmlStreamAttribute &attribute : attributes)
            if (attribute.name() != u"id" && attribute.name() != u"in" && attribute.name() != u"out")
                text += " " + attribute.name().toString() + "=" + attribute.value().toString();
        return text.trimmed();
    };
    while (!reader.atEnd()) {
        reader.readNext();
        const QXmlStreamAttributes attributes = reader.attributes();
        const QString name = reader.name().toString();
        if (reader.isStartElement()) {
            if (name == "profile") {
                const auto a = [&](const char *key) { return attributes.value(QLatin1String(key)).toString(); };
                lines << QString("profile %1x%2 %3:%4 %5/%6 p%7 sar%8:%9")
                             .arg(a("width"), a("height"), a("display_aspect_num"), a("display_aspect_den"),
                                  a("frame_rate_num"), a("frame_rate_den"), a("progressive"),
                                  a("sample_aspect_num"), a("sample_aspect_den"));
            } else if (name == "producer" || name == "playlist" || name == "tractor") {
                line = (name == "producer" ? "producer " : "") + described(attributes);
                uses.clear();
            } else if (name == "entry" || name == "track" || name == "blank" || name == "transition") {
                uses << ((name == "entry" || name == "track" ? attributes.value("producer").toString() + " " : name + " ") +
                         described(attributes).remove(QRegularExpression("producer=\\S+ ?"))).trimmed();
            } else if (name == "property") {
                const QString property = " " + attributes.value("name").toString() + "=" + reader.readElementText();
                (open.last() == "producer" || open.last() == "playlist" || open.last() == "tractor" ? line : uses.last()) += property;
                continue; // its end was read
            }
            open << name;
        } else if (reader.isEndElement()) {
            open.removeLast();
            if (name == "producer")
                lines << line;
            else if (name == "playlist" || name == "tractor")
                lines << line + ": " + uses.join(", ");
        }
    }
    if (reader.hasError())
        return {"error: " + reader.errorString()};
    for (QString &l : lines)
        l = l.trimmed();
    return lines;
}

// The lines every Shotcut project with photos holds around its photos: the
// black background as long as the timeline, the photos' track, the main
// tractor.
QStringList around(const QStringList &photos, int64_t total, const QString &track)
{
    const QString last = QString::number(total - 1), length = QString::number(total);
    return QStringList{"producer black 0-" + last + " length=" + length + " eof=pause resource=0 mlt_service=color",
                       "background: black 0-" + last} +
           photos +
           QStringList{"photos shotcut:video=1 shotcut:name=V1: " + track,
                       "slideshow 0-" + last + " shotcut=1: background, photos"};
}

// A Shotcut photo producer line: its frames and file, its caption the
// slide's name.
QString photo(int i, int64_t length, const QString &path)
{
    return QString("producer photo%1 0-%2 length=%3 resource=%4 shotcut:caption=n").arg(i).arg(length - 1).arg(length).arg(path);
}

TEST(MltWriter, TimelineOfPhotosTransitionsAndCuts)
{
    const QStringList three{"/p/red.png", "/p/green.png", "/p/blue.png"};
    const QString mix = "shotcut:transition=lumaMix: ", luma = "transition 0-24 mlt_service=luma a_track=0 b_track=1";
    const struct {
        const char *what;
        int32_t photoDuration, transDuration;
        QString style;
        QStringList paths;
        QStringList expected;
    } cases[] = {
        {"dissolves: each between the last frames of one photo and the first of the next", 150, 25,
         "Cross Dissolve", three,
         around({photo(1, 75, "/p/red.png"), photo(2, 100, "/p/green.png"), photo(3, 75, "/p/blue.png"),
                 "transition1 0-24 " + mix + "photo1 50-74, photo2 0-24, " + luma,
                 "transition2 0-24 " + mix + "photo2 75-99, photo3 0-24, " + luma},
                200, "photo1 0-49, transition1 0-24, photo2 25-74, transition2 0-24, photo3 25-74")},
        {"a wipe names one of MLT's built-in maps", 150, 25, "Edge Wipe", three.mid(0, 2),
         around({photo(1, 75, "/p/red.png"), photo(2, 75, "/p/green.png"),
                 "transition1 0-24 " + mix + "photo1 50-74, photo2 0-24, " + luma + " resource=%luma01.pgm"},
                125, "photo1 0-49, transition1 0-24, photo2 25-74")},
        {"no transition time: cuts", 50, 0, "Iris Round", three,
         around({photo(1, 50, "/p/red.png"), photo(2, 50, "/p/green.png"), photo(3, 50, "/p/blue.png")}, 150,
                "photo1 0-49, photo2 0-49, photo3 0-49")},
        {"a negative transition time is a cut; the clip is still photoDuration - 4T", 30, -5, "Cross Dissolve",
         three.mid(0, 2), around({photo(1, 50, "/p/red.png"), photo(2, 50, "/p/green.png")}, 100, "photo1 0-49, photo2 0-49")},
        {"a clip shorter than one frame lasts one", 100, 25, "Cross Dissolve", three.mid(0, 2),
         around({photo(1, 26, "/p/red.png"), photo(2, 26, "/p/green.png"),
                 "transition1 0-24 " + mix + "photo1 1-25, photo2 0-24, " + luma},
                27, "photo1 0-0, transition1 0-24, photo2 25-25")},
        {"a timeline over 2^30 frames is shortened", INT_MAX, 0, "Cross Dissolve", three.mid(0, 2),
         around({photo(1, 536870912, "/p/red.png"), photo(2, 536870912, "/p/green.png")}, 1073741824,
                "photo1 0-536870911, photo2 0-536870911")},
        {"one photo alone for the clip time", 150, 25, "Edge Wipe", three.mid(0, 1),
         around({photo(1, 50, "/p/red.png")}, 50, "photo1 0-49")},
        {"no photo: empty tracks", 150, 25, "Edge Wipe", {},
         {"background:", "photos shotcut:video=1 shotcut:name=V1:", "slideshow shotcut=1: background, photos"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QStringList lines = outline(mltXmlFromDocument(document(c.photoDuration, c.transDuration, c.style, c.paths), "/h"));
        EXPECT_EQ(lines.value(0), "profile 64x48 4:3 25/1 p1 sar1:1");
        EXPECT_EQ(lines.mid(1).join('\n').toStdString(), c.expected.join('\n').toStdString());
    }
}

// The Kdenlive project of the same timeline: the photos in the bin and on
// one video track of two alternating playlists, a mix between each two, its
// direction reversed after a photo on the second playlist, a wipe's map
// Kdenlive's own file (or, without Kdenlive's maps, MLT's built-in one); a
// black track under it.
TEST(KdenliveWriter, PhotosInTheBinAndMixesOnOneTrack)
{
    const QString lumas = "/usr/share/kdenlive/lumas/HD";
    for (const QString &folder : {lumas, QString()}) {
        SCOPED_TRACE(folder.toStdString());
        const Timeline timeline = slideshowTimeline(
            document(150, 25, "Edge Wipe", {"/p/red.png", "~/green.png", "/p/blue.png"}), "/h");
        const QStringList lines = outline(kdenliveProjectXml(timeline, folder));
        const QString producer = "producer photo%1 0-%2 length=%3 eof=pause resource=%4 mlt_service=qimage "
                                 "kdenlive:id=%5 kdenlive:clipname=n";
        const QString mix = "transition mix%1 %2-%3 a_track=0 b_track=1 mlt_service=luma kdenlive_id=luma "
                            "kdenlive:mixcut=12 resource=%4 reverse=%5 invert=%5 alpha_over=1";
        const QString map = folder.isNull() ? "%luma01.pgm" : folder + "/linear_x.pgm";
        const QStringList expected{
            "profile 64x48 4:3 25/1 p1 sar1:1",
            producer.arg(1).arg(74).arg(75).arg("/p/red.png").arg(2),
            producer.arg(2).arg(99).arg(100).arg("/h/green.png").arg(3),
            producer.arg(3).arg(74).arg(75).arg("/p/blue.png").arg(4),
            "main_bin kdenlive:docproperties.version=1.04 kdenlive:docproperties.activeTrack=0 xml_retain=1: "
            "photo1 0-74, photo2 0-99, photo3 0-74",
            "producer black_track 0-199 length=2147483647 eof=continue resource=black mlt_service=color set.test_audio=0",
            "playlist1: photo1 0-74 kdenlive:id=2, blank length=50, photo3 0-74 kdenlive:id=4",
            "playlist2: blank length=50, photo2 0-99 kdenlive:id=3",
            "track1: playlist1 hide=audio, playlist2 hide=audio, " + mix.arg(1).arg(50).arg(74).arg(map).arg(0) + ", " +
                mix.arg(2).arg(125).arg(149).arg(map).arg(1),
            "slideshow 0-199: black_track, track1"};
        EXPECT_EQ(lines.join('\n').toStdString(), expected.join('\n').toStdString());
    }
}

TEST(MltWriter, ProfileFromTheSequenceBroughtIntoWhatMltRenders)
{
    const struct { int32_t width, height, timebase; const char *ntsc, *expected; } cases[] = {
        {720, 480, 30, "TRUE", "profile 720x480 3:2 30000/1001 p1 sar1:1"},
        {1920, 1080, 24, "", "profile 1920x1080 16:9 24/1 p1 sar1:1"},
        {0, -5, 0, "TRUE", "profile 1x1 1:1 1000/1001 p1 sar1:1"},
        {INT_MAX, 7, INT_MAX, "TRUE", "profile 16384x7 16384:7 1000000/1001 p1 sar1:1"},
    };
    for (const auto &c : cases) {
        const Value doc = document(150, 25, "Cross Dissolve", {"/a.png"}, c.width, c.height, c.timebase, c.ntsc);
        EXPECT_EQ(outline(mltXmlFromDocument(doc, "/h")).value(0), c.expected) << c.width;
    }
}

TEST(MltWriter, TimingStaysWithinMltFrameCounts)
{
    const int64_t limit = int64_t(1) << 30;
    // A timeline longer than 2^30 frames is shortened, C and T in proportion.
    // (Short timelines: the table above.)
    const struct { int32_t photoDuration, transDuration; int64_t photos, clip, transition, total; } cases[] = {
        {150, 25, 0, 50, 25, 0},
        {INT_MAX, 0, 50000, 21474, 0, 50000 * int64_t(21474)},
        {INT_MIN, INT_MIN, 2, limit / 2, 0, limit},
        {INT_MAX, INT_MAX, 3, 1, 536870911, 3 + 2 * int64_t(536870911)},
    };
    for (const auto &c : cases) {
        const MltTiming t = mltTiming(c.photoDuration, c.transDuration, c.photos);
        EXPECT_EQ(QList<int64_t>({t.clip, t.transition, t.total}), QList<int64_t>({c.clip, c.transition, c.total}))
            << c.photoDuration << " " << c.transDuration;
    }
}

// A big album through the window: every photo once, in order, each photo's
// own frames on the photos' track at its place in the timeline, a transition
// between each two, a photo without an image file left out.
TEST_F(SaveRoad, BigAlbumProjectPlacesEveryPhoto)
{
    QStringList keys, paths;
    for (int i = 0; i < 5003; ++i) {
        keys << QString::number(i);
        paths << home.filePath(QString("Pictures/%1.jpg").arg(i));
        library.image(keys.back(), paths.back());
    }
    keys.insert(3000, "no image");
    library.image("no image", std::nullopt).album("Big", keys);
    start("Big");
    ui.selectTransition("Edge Wipe");
    const QByteArray project = controller.createMLTDocument();
    const Value sequence = controller.createSlideshowDocument().value("sequence");

    // Walk the photos' track: photo i's own frames start at i(C+T).
    const int64_t T = sequence.value("transDuration").toInt(), C = sequence.value("photoDuration").toInt() - 4 * T;
    ASSERT_GT(T, 0);
    QStringList resources, order;
    int64_t position = 0;
    qsizetype transitions = 0;
    bool placed = true, onTrack = false;
    QXmlStreamReader reader(project);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = [&](const char *name) { return reader.attributes().value(QLatin1String(name)).toLongLong(); };
        const QString id = reader.attributes().value("id").toString();
        if (reader.name() == u"producer" && id.startsWith("photo"))
            resources << reader.attributes().value("resource").toString();
        onTrack = reader.name() == u"playlist" ? id == "photos" : onTrack;
        if (!onTrack || reader.name() != u"entry")
            continue;
        const QString producer = reader.attributes().value("producer").toString();
        if (producer.startsWith("photo")) {
            placed = placed && position == (order.size()) * (C + T) && a("out") - a("in") + 1 == C;
            order << producer;
        } else {
            ++transitions;
        }
        position += a("out") - a("in") + 1;
    }
    ASSERT_FALSE(reader.hasError()) << qPrintable(reader.errorString());
    EXPECT_EQ(resources, paths);
    EXPECT_EQ(order.size(), paths.size());
    EXPECT_EQ(order.value(4999), "photo5000");
    EXPECT_TRUE(placed);
    EXPECT_EQ(transitions, paths.size() - 1);
    EXPECT_EQ(position, paths.size() * C + (paths.size() - 1) * T);
}

// The whole text of a small project, reviewed by hand: layout, attribute
// order and declaration as well as the timeline.
TEST(MltWriter, ThreePhotoDissolveMatchesItsGoldenFile)
{
    const QString golden = MLT_GOLDEN_DIR "/three-photos.mlt";
    const QByteArray xml =
        mltXmlFromDocument(document(150, 25, "Cross Dissolve", {"/p/red.png", "~/green.png", "/p/blue.png"}), "/h");
    // After a deliberate change: SLIDESHOW_WRITE_GOLDEN=1 app_tests --gtest_filter='*Golden*', then review the diff.
    if (qEnvironmentVariableIsSet("SLIDESHOW_WRITE_GOLDEN")) {
        ASSERT_TRUE(fixtures::writeBytes(golden, xml));
    }
    EXPECT_EQ(xml.toStdString(), fixtures::readBytes(golden).toStdString());
}

// Paths are written as they are, "~" expanded; characters XML cannot hold
// become U+FFFD; the library escapes the rest.
TEST(MltWriter, TextIsUtf8EscapedAndTildeExpanded)
{
    const QString odd = QString::fromUtf8("~/Fotos & <Ferien>/\"Café\" \u00e9t\u00e9 'x'.png");
    const QString title = QString("A & B <C>\t\r\n\x01") + QChar(0xD800) + "end";
    const QByteArray xml = mltXmlFromDocument(
        document(150, 25, "Cross Dissolve", {odd, "~", "~user/a.png", "/abs/a\x02\r\nb.png"}, 64, 48, 25, "FALSE", title),
        QString::fromUtf8("/home/Zoë"));
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QStringList resources;
    QString readTitle;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"mlt")
            readTitle = reader.attributes().value("title").toString();
        if (reader.isStartElement() && reader.name() == u"producer" && reader.attributes().hasAttribute("resource")
            && reader.attributes().value("id") != u"black")
            resources << reader.attributes().value("resource").toString();
    }
    ASSERT_FALSE(reader.hasError()) << qPrintable(reader.errorString());
    const QString fffd(QChar::ReplacementCharacter);
    EXPECT_EQ(resources, (QStringList{QString::fromUtf8("/home/Zoë/Fotos & <Ferien>/\"Café\" \u00e9t\u00e9 'x'.png"),
                                      QString::fromUtf8("/home/Zoë"), "~user/a.png", "/abs/a" + fffd + "\r\nb.png"}));
    EXPECT_EQ(readTitle, "A & B <C>\t\r\n" + fffd + fffd + "end");
    EXPECT_TRUE(xml.contains(QString::fromUtf8("Café").toUtf8())); // UTF-8, not character references
}

// The save command offering the MLT project beside the JSON document.
TEST_F(SaveRoad, ChoosingTheMltTypeWritesTheProjectUnlogged)
{
    start("Holiday");
    saveTo(desktop("Trip"), "mlt");
    const auto &run = backend.savePanelRuns().at(0);
    EXPECT_EQ(QStringList({run.requiredFileType, run.otherFileTypes.join(','), run.chosenFileType, run.chosenPath}),
              QStringList({"json", "mlt,kdenlive,mp4,webm", "mlt", desktop("Trip.mlt")}));
    const QStringList lines = outline(fixtures::readBytes(run.chosenPath));
    EXPECT_EQ(lines.value(0), "profile 720x480 3:2 30000/1001 p1 sar1:1");
    EXPECT_EQ(lines.value(3), "producer photo1 0-149 length=150 resource=" + images[0] + " shotcut:caption=Beach"); // 5 s at 30 fps
    EXPECT_EQ(log.count(), 0);
    EXPECT_EQ(backend.beepCount(), 0);
}

} // namespace

namespace {

// Every photo once, in an order that only the seed decides (the same on every
// machine: the pinned order is what a printed seed gives back).
TEST(Timeline, ShuffleIsAPermutationTheSeedRepeats)
{
    std::vector<size_t> order = shuffledOrder(50, 7);
    EXPECT_EQ(order, shuffledOrder(50, 7));
    EXPECT_NE(order, shuffledOrder(50, 8));
    std::sort(order.begin(), order.end());
    for (size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_EQ(shuffledOrder(6, 42), (std::vector<size_t>{4, 3, 0, 2, 5, 1}));
    EXPECT_TRUE(shuffledOrder(0, 1).empty());

    VideoSettings video;
    video.shuffle = true;
    video.shuffleSeed = 42;
    const Timeline timeline = slideshowTimeline(
        document(150, 0, "Cross Dissolve", {"/0.jpg", "/1.jpg", "/2.jpg", "/3.jpg", "/4.jpg", "/5.jpg"}), "/home",
        std::nullopt, video);
    QStringList paths;
    for (const Timeline::Photo &photo : timeline.photos)
        paths << photo.path;
    QStringList expected;
    for (const size_t i : shuffledOrder(6, 42))
        expected << QString("/%1.jpg").arg(i);
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(timeline.notes, QStringList{"The photos are shuffled with the seed 42"});
}

// Captions: at most two lines split between words, the rest cut short.
TEST(Timeline, CaptionsWrapOnTwoLinesAndAreCutShort)
{
    EXPECT_EQ(captionLines("  Morning   on the\tbeach ", 40), "Morning on the beach");
    EXPECT_EQ(captionLines("Morning on the beach", 10), "Morning on\nthe beach");
    EXPECT_EQ(captionLines("Morning on the beach at dawn", 10), QString::fromUtf8("Morning on\nthe beach…"));
    EXPECT_EQ(captionLines("Supercalifragilistic", 10), QString::fromUtf8("Supercali…"));
    EXPECT_EQ(captionLines("", 10), "");
}

// Any caption and title the album file can hold (markup characters, quotes,
// MLT's "#" keywords, control characters, thousands of characters) leaves
// both projects well-formed, the text as it was given, shortened.
TEST(MltWriter, AnyCaptionKeepsTheProjectsWellFormed)
{
    using jsontest::dict, jsontest::str;
    const QString odd = QString::fromUtf8("Été & <Ærø> \"quoted\" 'x' #timecode# \x01") + QString(3000, 'w');
    Value doc = document(150, 25, "Edge Wipe", {"/a.jpg", "/b.jpg"}, 640, 360, 25, "FALSE", odd);
    Value slides = Value::array();
    slides.append(dict({{"name", Value::string(odd)}, {"path", str("/a.jpg")}}));
    slides.append(dict({{"name", str("")}, {"path", str("/photos/b.jpg")}}));
    doc.insert("slides", slides);
    VideoSettings video;
    video.captions = video.titleCard = true;
    const Timeline timeline = slideshowTimeline(doc, "/home", std::nullopt, video);
    for (const QByteArray &xml : {shotcutProjectXml(timeline), kdenliveProjectXml(timeline, QString())}) {
        QStringList texts;
        QXmlStreamReader reader(xml);
        while (!reader.atEnd())
            if (reader.readNext() == QXmlStreamReader::StartElement && reader.attributes().value("name") == u"argument")
                texts << reader.readElementText();
        ASSERT_FALSE(reader.hasError()) << qPrintable(reader.errorString());
        ASSERT_EQ(texts.size(), 6); // each text twice: its shadow, then itself
        EXPECT_TRUE(texts[0].startsWith(QString::fromUtf8("Été & <Ærø> \"quoted\" 'x' \\#timecode\\#"))) << qPrintable(texts[0]);
        EXPECT_TRUE(texts[0].endsWith(QChar(0x2026)));
        EXPECT_LT(texts[0].size(), 200);
        EXPECT_EQ(texts[4], "b.jpg"); // no caption: the file's name
    }
}

} // namespace

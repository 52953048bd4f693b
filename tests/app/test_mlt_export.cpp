// The MLT project rendered from the slideshow document: its timeline read back
// as a compact outline, its profile, its text, and the save road choosing it.

#include "../json/json_test_support.h"
#include "MltWriter.h"
#include "SaveRoad.h"

#include <QXmlStreamReader>

#include <gtest/gtest.h>

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

// The project as lines: the profile, each track with its photos (in
// parentheses) and blanks, the tractor's tracks, and each transition with its
// properties. An XML error gives the single line "error: ...".
QStringList outline(const QByteArray &xml)
{
    QStringList lines;
    QXmlStreamReader reader(xml);
    QString line;
    while (!reader.atEnd()) {
        reader.readNext();
        const QXmlStreamAttributes attributes = reader.attributes();
        const auto a = [&](const char *name) { return attributes.value(QLatin1String(name)).toString(); };
        const auto name = reader.name();
        if (reader.isStartElement()) {
            if (name == u"profile")
                lines << QString("profile %1x%2 %3:%4 %5/%6 p%7 sar%8:%9")
                             .arg(a("width"), a("height"), a("display_aspect_num"), a("display_aspect_den"),
                                  a("frame_rate_num"), a("frame_rate_den"), a("progressive"),
                                  a("sample_aspect_num"), a("sample_aspect_den"));
            else if (name == u"playlist")
                line = a("id") + ":";
            else if (name == u"producer")
                line += " (" + a("in") + "-" + a("out") + " length=" + a("length") + " resource=" + a("resource");
            else if (name == u"blank")
                line += " blank " + a("length");
            else if (name == u"tractor")
                line = "tractor " + a("in") + "-" + a("out");
            else if (name == u"track")
                line += " " + a("producer");
            else if (name == u"transition")
            {
                line = "transition " + a("in") + "-" + a("out") + " " + a("mlt_service") + " " + a("a_track") + ">" +
                       a("b_track");
                for (const char *property : {"resource", "reverse", "invert"})
                    if (reader.attributes().hasAttribute(property))
                        line += QString(" %1=%2").arg(property, a(property));
            }
        } else if (reader.isEndElement()) {
            if (name == u"producer")
                line += ")";
            else if (name == u"playlist" || name == u"multitrack" || name == u"transition")
                lines << std::exchange(line, QString());
        }
    }
    if (reader.hasError())
        return {"error: " + reader.errorString()};
    return lines;
}

TEST(MltWriter, TimelineOfPhotosTransitionsAndCuts)
{
    const QStringList three{"/p/red.png", "/p/green.png", "/p/blue.png"};
    const struct {
        const char *what;
        int32_t photoDuration, transDuration;
        QString style;
        QStringList paths;
        QStringList expected;
    } cases[] = {
        {"dissolves: photos alternate between the tracks, the second transition reversed", 150, 25,
         "Cross Dissolve", three,
         {"track1: (-74 length=75 resource=/p/red.png) blank 50 (-74 length=75 resource=/p/blue.png)",
          "track2: blank 50 (-99 length=100 resource=/p/green.png)", "tractor 0-199 track1 track2",
          "transition 50-74 luma 0>1", "transition 125-149 luma 0>1 reverse=1 invert=1"}},
        {"a wipe names one of MLT's built-in maps", 150, 25, "Edge Wipe", three.mid(0, 2),
         {"track1: (-74 length=75 resource=/p/red.png)", "track2: blank 50 (-74 length=75 resource=/p/green.png)",
          "tractor 0-124 track1 track2", "transition 50-74 luma 0>1 resource=%luma01.pgm"}},
        {"no transition time: cuts on one track", 50, 0, "Edge Wipe", three,
         {"track1: (-49 length=50 resource=/p/red.png) (-49 length=50 resource=/p/green.png)"
          " (-49 length=50 resource=/p/blue.png)",
          "tractor 0-149 track1"}},
        {"a negative transition time is a cut; the clip is still photoDuration - 4T", 30, -5, "Cross Dissolve",
         three.mid(0, 2),
         {"track1: (-49 length=50 resource=/p/red.png) (-49 length=50 resource=/p/green.png)", "tractor 0-99 track1"}},
        {"a clip shorter than one frame lasts one", 100, 25, "Cross Dissolve", three.mid(0, 2),
         {"track1: (-25 length=26 resource=/p/red.png)", "track2: blank 1 (-25 length=26 resource=/p/green.png)",
          "tractor 0-26 track1 track2", "transition 1-25 luma 0>1"}},
        {"a timeline over 2^30 frames is shortened", INT_MAX, 0, "Cross Dissolve", three.mid(0, 2),
         {"track1: (-536870911 length=536870912 resource=/p/red.png) (-536870911 length=536870912 resource=/p/green.png)",
          "tractor 0-1073741823 track1"}},
        {"one photo alone for the clip time", 150, 25, "Edge Wipe", three.mid(0, 1),
         {"track1: (-49 length=50 resource=/p/red.png)", "tractor 0-49 track1"}},
        {"no photo: an empty track", 150, 25, "Edge Wipe", {}, {"track1:", "tractor - track1"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QStringList lines = outline(mltXmlFromDocument(document(c.photoDuration, c.transDuration, c.style, c.paths), "/h"));
        EXPECT_EQ(lines.value(0), "profile 64x48 4:3 25/1 p1 sar1:1");
        EXPECT_EQ(lines.mid(1), c.expected);
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

// A big album through the window: every photo once, in its track at its place
// in the timeline, a photo without an image file left out, a transition
// between each two.
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

    // Walk each track: photo i starts at i(C+T) less the transition into it.
    const int64_t T = sequence.value("transDuration").toInt(), C = sequence.value("photoDuration").toInt() - 4 * T;
    ASSERT_GT(T, 0);
    QStringList order;
    qsizetype transitions = 0, track = -1, onTrack = 0;
    int64_t position = 0;
    bool placed = true;
    QXmlStreamReader reader(project);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = [&](const char *name) { return reader.attributes().value(QLatin1String(name)).toLongLong(); };
        if (reader.name() == u"playlist") {
            position = 0;
            ++track;
            onTrack = 0;
        } else if (reader.name() == u"blank") {
            position += a("length");
        } else if (reader.name() == u"producer") {
            // The photos alternate: the k-th on a track is photo track + 2k
            // (checked by the order below).
            const int64_t i = track + 2 * onTrack++;
            placed = placed && position == i * (C + T) - (i > 0 ? T : 0);
            order << reader.attributes().value("resource").toString();
            position += a("length");
        } else if (reader.name() == u"transition") {
            ++transitions;
        }
    }
    ASSERT_FALSE(reader.hasError()) << qPrintable(reader.errorString());
    QStringList expected;
    for (int track = 0; track < 2; ++track)
        for (qsizetype i = track; i < paths.size(); i += 2)
            expected << paths[i];
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(placed);
    EXPECT_EQ(transitions, paths.size() - 1);
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
        if (reader.isStartElement() && reader.name() == u"producer")
            resources << reader.attributes().value("resource").toString();
    }
    ASSERT_FALSE(reader.hasError()) << qPrintable(reader.errorString());
    const QString fffd(QChar::ReplacementCharacter);
    // In track order: the first and third photo, then the second and fourth.
    EXPECT_EQ(resources, (QStringList{QString::fromUtf8("/home/Zoë/Fotos & <Ferien>/\"Café\" \u00e9t\u00e9 'x'.png"),
                                      "~user/a.png", QString::fromUtf8("/home/Zoë"), "/abs/a" + fffd + "\r\nb.png"}));
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
              QStringList({"json", "mlt,mp4,webm", "mlt", desktop("Trip.mlt")}));
    const QStringList lines = outline(fixtures::readBytes(run.chosenPath));
    EXPECT_EQ(lines.value(0), "profile 720x480 3:2 30000/1001 p1 sar1:1");
    EXPECT_EQ(lines.value(1), "track1: (-149 length=150 resource=" + images[0] + ")"); // 5 s at 30 fps
    EXPECT_EQ(log.count(), 0);
    EXPECT_EQ(backend.beepCount(), 0);
}

} // namespace

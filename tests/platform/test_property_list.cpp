#include "Files.h"
#include "PropertyList.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <cstring>
#include <iterator>
#include <string>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray plist(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

QByteArray nested(int depth) { return plist(QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth)); }

// The tree in a compact text that shows every kind and the order of members.
std::string dump(const Value &v)
{
    std::string out;
    for (qsizetype i = 0; i < v.count(); ++i) {
        if (i)
            out += ',';
        out += v.isDictionary() ? v.keyAt(i).toStdString() + ":" + dump(v.valueAt(i)) : dump(v.at(i));
    }
    switch (v.kind()) {
    case Value::Kind::Dictionary: return "{" + out + "}";
    case Value::Kind::Array: return "[" + out + "]";
    case Value::Kind::String: return '"' + v.toString().toStdString() + '"';
    case Value::Kind::Integer: return std::to_string(v.toInt());
    case Value::Kind::Boolean: return v.toBool() ? "true" : "false";
    case Value::Kind::Opaque: return "?";
    default: return "<unexpected kind>";
    }
}

// A trimmed-down album file with the kinds a real one holds.
const char kAlbumBody[] = R"(<dict><key>Archive Path</key><string>/Users/example/Pictures/iPhoto Library</string>
  <key>List of Albums</key><array>
    <dict><key>AlbumId</key><integer>999000</integer><key>AlbumName</key><string>Trips &amp; Tours</string>
      <key>Master</key><true/><key>KeyList</key><array><string>17</string><string>4</string></array></dict>
    <dict><key>AlbumName</key><string>Caf&#233; &#x1F600; &lt;b&gt;&quot;&apos;<![CDATA[<raw> & ]]></string>
      <key>KeyList</key><array/><key>Hidden</key><false/></dict></array>
  <key>Master Image List</key><dict>
    <key>17</key><dict><key>Caption</key><string>  two  spaces
	and a tab </string><key>DateAsTimerInterval</key><real>264098231.000000</real>
      <key>Big</key><integer>4294967296</integer><key>Thumb</key><data>AAECAw==</data>
      <key>Modified</key><date>2009-05-14T12:00:00Z</date><key>Min</key><integer> -2147483648 </integer>
      <key>Over</key><integer>2147483648</integer><key>Plus</key><integer>+7</integer></dict>
    <key>4</key><dict><key>Rating</key><integer>1</integer><key>Caption</key><string/>
      <key>Rating</key><integer>2</integer></dict></dict></dict>)";

// The values the window reads of an album file, with the other options given.
PropertyListReadOptions albumKeysOnly(PropertyListReadOptions options = {})
{
    options.keepOnly = {{"List of Albums", "*", "AlbumName"}, {"List of Albums", "*", "KeyList"},
                        {"Master Image List", "*", "ImagePath"}, {"Master Image List", "*", "Caption"}};
    return options;
}

} // namespace

TEST(PropertyList, AlbumFileBecomesTreeWithKindsOrderAndExactStrings)
{
    EXPECT_EQ(dump(propertyListFromData(plist(kAlbumBody))), "{Archive Path:\"/Users/example/Pictures/iPhoto Library\",List of Albums:["
                          "{AlbumId:999000,AlbumName:\"Trips & Tours\",Master:true,KeyList:[\"17\",\"4\"]},"
                          "{AlbumName:\"Caf\u00e9 \U0001F600 <b>\"'<raw> & \",KeyList:[],Hidden:false}],"
                          "Master Image List:{17:{Caption:\"  two  spaces\n\tand a tab \",DateAsTimerInterval:?,"
                          "Big:?,Thumb:?,Modified:?,Min:-2147483648,Over:?,Plus:7},4:{Rating:2,Caption:\"\"}}}");
    // Only what the window reads, and all of it.
    EXPECT_EQ(dump(propertyListFromData(plist(kAlbumBody), nullptr, {}, albumKeysOnly())),
              "{List of Albums:[{AlbumName:\"Trips & Tours\",KeyList:[\"17\",\"4\"]},"
              "{AlbumName:\"Caf\u00e9 \U0001F600 <b>\"'<raw> & \",KeyList:[]}],"
              "Master Image List:{17:{Caption:\"  two  spaces\n\tand a tab \"},4:{Caption:\"\"}}}");
    EXPECT_EQ(dump(propertyListFromData(plist("<array><string>a</string></array>"), nullptr, {}, albumKeysOnly())), "[]");
    EXPECT_EQ(dump(propertyListFromData(nested(kMaxPropertyListDepth))),
              std::string(kMaxPropertyListDepth, '[') + std::string(kMaxPropertyListDepth, ']'));

    // Parsed strings are stored one byte a character when they fit in Latin-1
    // and as UTF-16 otherwise: each equals the same text made from a QString
    // and no text of another width.
    const QString texts[] = {"", "ASCII only", "Caf\u00e9 \u00ff", "Caf\u00e9 \u20ac", "\u6771\u4eac \U0001F600", "Cafe\u0301"};
    QByteArray xml = "<array>";
    for (const QString &text : texts)
        xml += "<string>" + text.toUtf8() + "</string>";
    const Value root = propertyListFromData(plist(xml + "</array>"));
    ASSERT_EQ(root.count(), qsizetype(std::size(texts)));
    for (qsizetype i = 0; i < root.count(); ++i)
        for (qsizetype j = 0; j < root.count(); ++j)
            EXPECT_EQ(root.at(i) == Value::string(texts[j]), i == j) << i << ',' << j;
}

TEST(PropertyList, HostileInputGivesNoValueAndOneLineErrorWithPosition)
{
    const struct { const char *name; QByteArray data; const char *reason; } cases[] = { // reason: a piece of the error
        {"truncated", plist(kAlbumBody).left(700), "no element found"},
        {"not a plist", "<html><body>Hello</body></html>", "<html>"},
        {"invalid UTF-8", plist("<string>caf\xc3\x28</string>"), "invalid token"},
        {"mismatched tag", "<plist>\n<array>\n  <string>a</strin>\n</array>\n</plist>\n", "mismatched tag at line 3, column 14"},
        {"513 nested", nested(513), "deeper than 512"},
        {"100,000 nested", nested(100000), "deeper than 512"},
        {"entity bomb and external entity",
         "<!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\"><!ENTITY a \"lol\"><!ENTITY b \"" + QByteArray("&a;").repeated(1000)
             + "\"><!ENTITY c \"" + QByteArray("&b;").repeated(1000) + "\">]><plist><string>&x;&c;</string></plist>",
         "internal subset"},
        {"undefined entity behind external DTD",
         "<!DOCTYPE plist SYSTEM \"file:///etc/passwd\">\n<plist><string>&xxe;</string></plist>", "undefined entity"},
        {"two root children", plist("<true/>\n<false/>"), "more than one value"},
        {"no value", plist(""), "no value"},
        {"key without value", "<plist>\n<dict>\n\t<key>k</key>\n\t<key>", "a <key> without a value in <dict> at line 4, column 2"},
        {"token over the limit", plist("<array>\n  <!--" + QByteArray(5000, 'x') + "-->"),
         "a single XML token is longer than 4096 bytes at line 5, column 3"},

        // Faults in values the window does not read.
        {"element in a leaf", plist(QByteArray(kAlbumBody).replace("<real>2", "<real><true/>2")), "unexpected element <true>"},
        {"text in a dict", plist(QByteArray(kAlbumBody).replace("<data>AAECAw==</data>", "<dict>x</dict>")),
         "unexpected text in <dict>"},
    };
    PropertyListReadOptions small; // small slices, so the cases cross slice boundaries
    small.sliceBytes = 256;
    small.maxTokenBytes = 4096;
    const QRegularExpression shape(QStringLiteral(
        "^AlbumData\\.xml could not be read as a property list: [^\\x00-\\x1f]+ at line [1-9]\\d*, column [1-9]\\d*$"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_TRUE(propertyListFromData(c.data, &error, QStringLiteral("AlbumData.xml"), small).isNone());
        EXPECT_TRUE(shape.match(error).hasMatch()) << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        QString lightError; // building only the album keys fails alike
        EXPECT_TRUE(propertyListFromData(c.data, &lightError, QStringLiteral("AlbumData.xml"), albumKeysOnly(small)).isNone());
        EXPECT_EQ(lightError, error);
    }
}

// Every value reads back right whatever the shared-text caches collide on, the
// keys and strings every record repeats stay shared however many texts come
// only once, and the file, read a slice at a time, parses like its bytes.
TEST(PropertyListFile, ManyRecordsReadBackRightAndShareRepeatedTexts)
{
    constexpr int kRecords = 20000;
    QByteArray body = "<dict>";
    for (int i = 0; i < kRecords; ++i)
        body += "<key>" + QByteArray::number(i * 7919) + "</key><dict><key>MediaType</key><string>Image</string>"
                "<key>Caption</key><string>IMG_" + QByteArray::number(i) + "</string><key>Rating</key><integer>"
                + QByteArray::number(i % 3000 * 16 - 7) + "</integer></dict>";
    const QByteArray bytes = plist(body + "</dict>"); // a few megabytes, read in slices
    const fixtures::TemporaryHome home;
    ASSERT_TRUE(home.writeAlbumFile(bytes));
    QString error = QStringLiteral("stale");
    const Value root = propertyListFromFile(home.albumFilePath(), &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(root.count(), kRecords);
    EXPECT_TRUE(root == propertyListFromData(bytes));
    const Value first = root.valueAt(0);
    for (int i = 0; i < kRecords; ++i) {
        const Value record = root.valueAt(i);
        ASSERT_EQ(root.keyAt(i), QString::number(i * 7919));
        ASSERT_EQ(record.value(QStringLiteral("Caption")).toString(), QStringLiteral("IMG_%1").arg(i));
        ASSERT_EQ(record.value(QStringLiteral("Rating")).toInt(), i % 3000 * 16 - 7);
        ASSERT_EQ(record.keyAt(1).constData(), first.keyAt(1).constData()) << i;
        ASSERT_TRUE(record.value(QStringLiteral("MediaType")).isSameNode(first.value(QStringLiteral("MediaType")))) << i;
    }
}

// A token (a comment, a processing instruction, a tag with a long attribute)
// that spans many slices costs a few slices, not one per slice length, before,
// in and after the root element: the parse stays linear in the file's size.
TEST(PropertyListFile, LongTokensTakeFewSlicesWhereverTheyAre)
{
    const QByteArray filler(200000, 'x');
    QByteArray prolog = plist("<array><true/></array>");
    prolog.insert(prolog.indexOf('\n') + 1, "<!--" + filler + "-->\n");
    const QByteArray files[] = {
        prolog,
        plist("<array><!--" + filler + "--><true/></array>"),
        plist("<array><?note " + filler + "?><true/></array>"),
        plist("<array><true a=\"" + filler + "\"/></array>"),
        plist("<array><true/></array>") + "<!--" + filler + "-->",
    };
    const fixtures::TemporaryHome home;
    int slices = 0;
    PropertyListReadOptions options;
    options.progress = [&slices](qint64, qint64) { ++slices; };
    options.sliceBytes = 256;
    for (const QByteArray &bytes : files) {
        SCOPED_TRACE(bytes.left(300).toStdString());
        ASSERT_TRUE(home.writeAlbumFile(bytes));
        slices = 0;
        QString error;
        EXPECT_EQ(dump(propertyListFromFile(home.albumFilePath(), &error, QString(), options)), "[true]") << error.toStdString();
        EXPECT_LT(slices, 30); // 782 slices of 256 bytes
    }
    // The slices after a long token go back to the start of the parser's
    // buffer: what follows still reads right.
    const QByteArray after = plist("<array><!--" + filler + "-->" + QByteArray("<true/><false/>").repeated(5000) + "</array>");
    ASSERT_TRUE(home.writeAlbumFile(after));
    const Value expected = propertyListFromData(after);
    ASSERT_EQ(expected.count(), 10000);
    EXPECT_TRUE(propertyListFromFile(home.albumFilePath(), nullptr, QString(), options) == expected);
}

// Anything but a regular file is refused at once, without blocking: a named
// pipe without a writer, a device (through a link), a socket. A file that
// grows while it is read is read as long as it was when opened.
TEST(PropertyListFile, OnlyRegularFilesAreReadAsLongAsTheyWereWhenOpened)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo")), zero = dir.filePath(QStringLiteral("zero"));
    const QString socketPath = dir.filePath(QStringLiteral("socket"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(server, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    for (const QString &path : {fifo, zero, socketPath}) {
        SCOPED_TRACE(path.toStdString());
        const std::string expected = path.toStdString() + " could not be read: it is not a regular file";
        QString error;
        EXPECT_TRUE(propertyListFromFile(path, &error, QStringLiteral("AlbumData.xml")).isNone());
        EXPECT_EQ(error.toStdString(), expected);
        error.clear();
        EXPECT_FALSE(readWholeFile(path, &error).has_value());
        EXPECT_EQ(error.toStdString(), expected);
    }
    ::close(server);

    const QString growing = dir.filePath(QStringLiteral("growing"));
    const QByteArray bytes = plist("<string>" + QByteArray(5000, 'a') + "</string>");
    QFile writer(growing);
    ASSERT_TRUE(writer.open(QIODevice::WriteOnly) && writer.write(bytes) == bytes.size() && writer.flush());
    PropertyListReadOptions options;
    options.sliceBytes = 1000;
    options.progress = [&writer](qint64, qint64) { writer.write(QByteArray(2000, '!')), writer.flush(); };
    QString error;
    EXPECT_EQ(propertyListFromFile(growing, &error, QString(), options).toString().size(), 5000) << error.toStdString();
}

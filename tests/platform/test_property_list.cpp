#include "PropertyList.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <iterator>

namespace {

const char kHeader[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
                       "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

QByteArray plist(const QByteArray &body)
{
    return QByteArray(kHeader) + "<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

// A trimmed-down album file with the kinds a real one holds.
const char kAlbumBody[] = R"(<dict>
	<key>Application Version</key>
	<string>6.0.6 (6.0.6)</string>
	<key>Archive Path</key>
	<string>/Users/example/Pictures/iPhoto Library</string>
	<key>List of Albums</key>
	<array>
		<dict>
			<key>AlbumId</key>
			<integer>999000</integer>
			<key>AlbumName</key>
			<string>Trips &amp; Tours</string>
			<key>Master</key>
			<true/>
			<key>KeyList</key>
			<array>
				<string>17</string>
				<string>4</string>
			</array>
		</dict>
		<dict>
			<key>AlbumName</key>
			<string>Caf&#233; &#x1F600; &lt;b&gt;</string>
			<key>KeyList</key>
			<array/>
			<key>Hidden</key>
			<false/>
		</dict>
	</array>
	<key>Master Image List</key>
	<dict>
		<key>17</key>
		<dict>
			<key>Caption</key>
			<string>Beach Day</string>
			<key>ImagePath</key>
			<string>/Users/example/Pictures/iPhoto Library/2009/Beach Day.jpg</string>
			<key>DateAsTimerInterval</key>
			<real>264098231.000000</real>
			<key>Big</key>
			<integer>4294967296</integer>
			<key>Thumb</key>
			<data>
			AAECAw==
			</data>
			<key>Modified</key>
			<date>2009-05-14T12:00:00Z</date>
		</dict>
		<key>4</key>
		<dict>
			<key>ImagePath</key>
			<string>/Volumes/Photos/Beach.jpg</string>
			<key>Caption</key>
			<string/>
		</dict>
	</dict>
</dict>)";

QString errorOf(const QByteArray &data)
{
    QString error;
    const Value value = propertyListFromData(data, &error, QStringLiteral("AlbumData.xml"));
    EXPECT_TRUE(value.isNone()) << "parsed although it should fail";
    return error;
}

} // namespace

TEST(PropertyList, AlbumFileBecomesTreeWithKindsAndOrder)
{
    QString error = QStringLiteral("stale");
    const Value root = propertyListFromData(plist(kAlbumBody), &error);
    ASSERT_TRUE(root.isDictionary()) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    ASSERT_EQ(root.count(), 4);
    EXPECT_EQ(root.keyAt(0), QStringLiteral("Application Version"));
    EXPECT_EQ(root.keyAt(3), QStringLiteral("Master Image List"));
    EXPECT_EQ(root.value(QStringLiteral("Archive Path")).toString(),
              QStringLiteral("/Users/example/Pictures/iPhoto Library"));

    const Value albums = root.value(QStringLiteral("List of Albums"));
    ASSERT_TRUE(albums.isArray());
    ASSERT_EQ(albums.count(), 2);
    const Value first = albums.at(0);
    EXPECT_EQ(first.value(QStringLiteral("AlbumId")).toInt(), 999000);
    EXPECT_EQ(first.value(QStringLiteral("AlbumName")).toString(), QStringLiteral("Trips & Tours"));
    EXPECT_TRUE(first.value(QStringLiteral("Master")).isBoolean());
    EXPECT_TRUE(first.value(QStringLiteral("Master")).toBool());
    const Value keys = first.value(QStringLiteral("KeyList"));
    ASSERT_EQ(keys.count(), 2);
    EXPECT_EQ(keys.at(0).toString(), QStringLiteral("17"));
    EXPECT_EQ(keys.at(1).toString(), QStringLiteral("4"));

    const Value second = albums.at(1);
    EXPECT_EQ(second.value(QStringLiteral("AlbumName")).toString(), QStringLiteral("Caf\u00e9 \U0001F600 <b>"));
    EXPECT_TRUE(second.value(QStringLiteral("KeyList")).isArray());
    EXPECT_EQ(second.value(QStringLiteral("KeyList")).count(), 0);
    EXPECT_TRUE(second.value(QStringLiteral("Hidden")).isBoolean());
    EXPECT_FALSE(second.value(QStringLiteral("Hidden")).toBool());

    const Value master = root.value(QStringLiteral("Master Image List"));
    ASSERT_EQ(master.count(), 2);
    EXPECT_EQ(master.keyAt(0), QStringLiteral("17"));
    const Value photo = master.value(QStringLiteral("17"));
    EXPECT_EQ(photo.value(QStringLiteral("ImagePath")).toString(),
              QStringLiteral("/Users/example/Pictures/iPhoto Library/2009/Beach Day.jpg"));
    EXPECT_TRUE(photo.value(QStringLiteral("DateAsTimerInterval")).isOpaque());
    EXPECT_TRUE(photo.value(QStringLiteral("Big")).isOpaque()); // beyond int32
    EXPECT_TRUE(photo.value(QStringLiteral("Thumb")).isOpaque());
    EXPECT_TRUE(photo.value(QStringLiteral("Modified")).isOpaque());
    const Value empty = master.value(QStringLiteral("4")).value(QStringLiteral("Caption"));
    EXPECT_TRUE(empty.isString());
    EXPECT_TRUE(empty.toString().isEmpty());
}

TEST(PropertyList, StringsKeepWhiteSpaceAndDecodeReferences)
{
    const Value root = propertyListFromData(
        plist("<array><string>  two  spaces\n\tand a tab </string>"
              "<string>&quot;&apos;&amp;&#65;&#x42;<![CDATA[<raw> & ]]></string>"
              "<integer> -2147483648 </integer><integer>2147483648</integer><integer>+7</integer></array>"));
    ASSERT_TRUE(root.isArray());
    ASSERT_EQ(root.count(), 5);
    EXPECT_EQ(root.at(0).toString(), QStringLiteral("  two  spaces\n\tand a tab "));
    EXPECT_EQ(root.at(1).toString(), QStringLiteral("\"'&AB<raw> & "));
    EXPECT_EQ(root.at(2).toInt(), -2147483647 - 1);
    EXPECT_TRUE(root.at(3).isOpaque());
    EXPECT_EQ(root.at(4).toInt(), 7);
}

// Strings are stored one byte a character when they fit in Latin-1 and as
// UTF-16 otherwise: every width reads back exactly and equals the same text
// made from a QString, and texts of different widths never compare equal.
TEST(PropertyList, StringsOfEveryWidthReadBackExactly)
{
    const QString texts[] = {
        QString(), // <string/> first: empty, not null
        QStringLiteral("ASCII only"),
        QStringLiteral("Caf\u00e9 \u00ff"),          // Latin-1
        QStringLiteral("Caf\u00e9 \u20ac"),          // beyond Latin-1 after Latin-1
        QStringLiteral("\u6771\u4eac \U0001F600"),  // CJK and a surrogate pair
        QStringLiteral("Caf\u0065\u0301"),           // combining accent kept as is
    };
    QByteArray xml = "<array>";
    for (const QString &text : texts)
        xml += text.isEmpty() ? QByteArray("<string/>") : "<string>" + text.toUtf8() + "</string>";
    const Value root = propertyListFromData(plist(xml + "</array>"));
    ASSERT_EQ(root.count(), qsizetype(std::size(texts)));
    for (qsizetype i = 0; i < root.count(); ++i) {
        const QString &text = texts[i];
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(root.at(i).toString(), text);
        EXPECT_FALSE(root.at(i).toString().isNull());
        EXPECT_EQ(root.at(i), Value::string(text));
        for (qsizetype j = 0; j < root.count(); ++j)
            EXPECT_EQ(root.at(i) == root.at(j), i == j);
    }
    EXPECT_EQ(Value::string(QLatin1String("Caf\xe9")), Value::string(QStringLiteral("Caf\u00e9")));
    EXPECT_TRUE(Value::string(QLatin1String()).toString().isNull());
    EXPECT_EQ(Value::string(QLatin1String()), Value::string(QLatin1String(""))); // as QStrings compare
}

TEST(PropertyList, KeysAreSharedBetweenRecords)
{
    const Value root = propertyListFromData(
        plist("<array><dict><key>ImagePath</key><string>a</string></dict>"
              "<dict><key>ImagePath</key><string>b</string></dict></array>"));
    ASSERT_EQ(root.count(), 2);
    const QString a = root.at(0).keyAt(0);
    const QString b = root.at(1).keyAt(0);
    EXPECT_EQ(a, QStringLiteral("ImagePath"));
    EXPECT_EQ(a.constData(), b.constData()); // one shared text
}

// A big file of records, each under a key of its own: the keys every record
// repeats stay shared however many keys come only once, and so do the records'
// strings that repeat.
TEST(PropertyList, RepeatedKeysStaySharedAmongKeysThatComeOnce)
{
    constexpr int kRecords = 20000;
    QByteArray body = "<dict>";
    for (int i = 0; i < kRecords; ++i)
        body += "<key>" + QByteArray::number(i * 7919) + "</key><dict><key>MediaType</key><string>Image</string>"
                "<key>Caption</key><string>IMG_" + QByteArray::number(i) + "</string></dict>";
    const Value root = propertyListFromData(plist(body + "</dict>"));
    ASSERT_EQ(root.count(), kRecords);
    const Value first = root.valueAt(0);
    for (int i = 0; i < kRecords; ++i) {
        const Value record = root.valueAt(i);
        ASSERT_EQ(root.keyAt(i), QString::number(i * 7919));
        ASSERT_EQ(record.value(QStringLiteral("Caption")).toString(), QStringLiteral("IMG_%1").arg(i));
        ASSERT_EQ(record.keyAt(1).constData(), first.keyAt(1).constData()) << i;
        ASSERT_TRUE(record.value(QStringLiteral("MediaType")).isSameNode(first.value(QStringLiteral("MediaType")))) << i;
    }
}

TEST(PropertyList, DuplicateKeyKeepsLastValue)
{
    const Value root = propertyListFromData(
        plist("<dict><key>a</key><integer>1</integer><key>a</key><integer>2</integer></dict>"));
    ASSERT_EQ(root.count(), 1);
    EXPECT_EQ(root.value(QStringLiteral("a")).toInt(), 2);
}

TEST(PropertyList, NestingUpToLimitIsAccepted)
{
    const int depth = kMaxPropertyListDepth;
    const Value root = propertyListFromData(
        plist(QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth)));
    ASSERT_TRUE(root.isArray());
    Value inner = root;
    int levels = 1;
    while (inner.count() == 1) {
        inner = inner.at(0);
        ++levels;
    }
    EXPECT_EQ(levels, depth);
}

struct HostileCase {
    const char *name;
    QByteArray data;
    const char *reasonPart; // a piece the description must hold
};

class HostilePropertyList : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostilePropertyList, GivesNoValueAndOneLineErrorWithPosition)
{
    const HostileCase &c = GetParam();
    const QString error = errorOf(c.data);
    EXPECT_TRUE(error.startsWith(QStringLiteral("AlbumData.xml could not be read as a property list: ")))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String(c.reasonPart))) << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String(" at line "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String(", column "))) << error.toStdString();
    for (const QChar ch : error)
        EXPECT_GE(ch.unicode(), 0x20) << error.toStdString();
}

namespace {

QByteArray billionLaughs()
{
    QByteArray doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [\n<!ENTITY lol0 \"lol\">\n";
    for (int i = 1; i < 10; ++i)
        doc += QStringLiteral("<!ENTITY lol%1 \"%2\">\n")
                   .arg(i)
                   .arg(QStringLiteral("&lol%1;").arg(i - 1).repeated(10))
                   .toUtf8();
    return doc + "]>\n<plist><string>&lol9;</string></plist>\n";
}

const HostileCase kHostile[] = {
    {"Truncated", plist(kAlbumBody).left(700), "no element found"},
    {"Empty", QByteArray(), "no element found"},
    {"BinaryGarbage", QByteArray("\x00\x01\xff\xfe garbage \x80\x81", 15), "line 1"},
    {"NotAPlist", "<html><body>Hello</body></html>", "<html>"},
    {"InvalidUtf8", plist("<string>caf\xc3\x28</string>"), "invalid token"},
    {"MismatchedTag", plist("<array><string>a</array>"), "mismatched tag"},
    {"DeepNesting", plist(QByteArray("<array>").repeated(100000) + QByteArray("</array>").repeated(100000)),
     "deeper than 512"},
    {"OneLevelTooDeep", plist(QByteArray("<array>").repeated(513) + QByteArray("</array>").repeated(513)),
     "deeper than 512"},
    {"BillionLaughs", billionLaughs(), "internal subset"},
    {"ExternalEntity",
     "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n"
     "<plist><string>&x;</string></plist>",
     "internal subset"},
    {"InternalSubset", "<!DOCTYPE plist [ <!ELEMENT plist ANY> ]>\n<plist><true/></plist>", "internal subset"},
    {"UndefinedEntityBehindExternalDtd",
     "<!DOCTYPE plist SYSTEM \"file:///etc/passwd\">\n<plist><string>&xxe;</string></plist>", "undefined entity"},
    {"UndefinedEntity", "<plist><string>&nope;</string></plist>", "undefined entity"},
    {"TwoRootChildren", plist("<true/>\n<false/>"), "more than one value"},
    {"EmptyPlist", plist(""), "no value"},
    {"KeyWithoutValue", plist("<dict><key>a</key></dict>"), "without a value"},
    {"ValueWithoutKey", plist("<dict><string>a</string></dict>"), "without a <key>"},
    {"KeyInArray", plist("<array><key>a</key></array>"), "<key>"},
    {"UnknownElement", plist("<array><img src=\"x\"/></array>"), "unknown element <img>"},
    {"ElementInString", plist("<string>a<b/>c</string>"), "<b>"},
    {"TextInDictionary", plist("<dict>stray<key>a</key><true/></dict>"), "unexpected text"},
    {"TextInBoolean", plist("<true>yes</true>"), "unexpected text"},
    {"TwoDocumentRoots", "<plist><true/></plist><plist><true/></plist>", "junk after document element"},
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Inputs, HostilePropertyList, ::testing::ValuesIn(kHostile),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PropertyList, ErrorNamesTheLineAndColumnOfTheFault)
{
    const QString error = errorOf("<plist>\n<array>\n  <string>a</strin>\n</array>\n</plist>\n");
    EXPECT_TRUE(error.endsWith(QStringLiteral("mismatched tag at line 3, column 14"))) << error.toStdString();
    EXPECT_TRUE(errorOf("<plist>\n<dict>\n\t<key>k</key>\n\t<key>")
                    .endsWith(QStringLiteral("a <key> without a value in <dict> at line 4, column 2")));
}

TEST(PropertyList, DescriptionWithoutSourceNameAndNullErrorPointer)
{
    QString error;
    EXPECT_TRUE(propertyListFromData("<html/>", &error).isNone());
    EXPECT_TRUE(error.startsWith(QStringLiteral("The data could not be read as a property list: "))) << error.toStdString();
    EXPECT_TRUE(propertyListFromData("<html/>").isNone());
    // A later success clears an earlier description.
    EXPECT_TRUE(propertyListFromData("<plist><true/></plist>", &error).toBool());
    EXPECT_TRUE(error.isEmpty());
}

TEST(PropertyList, SharedLeavesKeepEveryValueApart)
{
    // Many distinct short strings and integers, each twice: the caches that
    // share repeated leaves must never hand out a wrong one, whatever collides.
    QByteArray body = "<array>";
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 3000; ++i)
            body += "<string>s" + QByteArray::number(i) + "</string><integer>" + QByteArray::number(i * 16 - 7)
                    + "</integer>";
    const Value root = propertyListFromData(plist(body + "</array>"));
    ASSERT_EQ(root.count(), 12000);
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 3000; ++i) {
            const qsizetype at = round * 6000 + i * 2;
            ASSERT_EQ(root.at(at).toString(), QLatin1Char('s') + QString::number(i)) << at;
            ASSERT_EQ(root.at(at + 1).toInt(), i * 16 - 7) << at;
        }
    }
    // Repeated texts share their nodes.
    const Value twice = propertyListFromData(plist("<array><string>JPEG</string><string>JPEG</string></array>"));
    EXPECT_TRUE(twice.at(0).isSameNode(twice.at(1)));
}

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Several slices' worth of records, with long strings that straddle the
// boundaries between slices.
QByteArray bigAlbum()
{
    QByteArray body = "<dict><key>Master Image List</key><dict>";
    for (int i = 0; i < 4000; ++i)
        body += "<key>" + QByteArray::number(i) + "</key><dict><key>ImagePath</key><string>/p/" + QByteArray(700, 'x')
                + QByteArray::number(i) + ".jpg</string><key>Rating</key><integer>" + QByteArray::number(i % 6)
                + "</integer></dict>";
    return plist(body + "</dict></dict>");
}

} // namespace

TEST(PropertyListFile, ParsesBigFileLikeItsBytes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray bytes = bigAlbum();
    ASSERT_GT(bytes.size(), 2 * (1 << 20));
    const QString path = dir.filePath(QStringLiteral("AlbumData.xml"));
    ASSERT_TRUE(writeFile(path, bytes));

    QString error = QStringLiteral("stale");
    const Value fromFile = propertyListFromFile(path, &error);
    ASSERT_TRUE(fromFile.isDictionary()) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    const Value master = fromFile.value(QStringLiteral("Master Image List"));
    ASSERT_EQ(master.count(), 4000);
    EXPECT_EQ(master.value(QStringLiteral("3999")).value(QStringLiteral("ImagePath")).toString(),
              QStringLiteral("/p/") + QString(700, QLatin1Char('x')) + QStringLiteral("3999.jpg"));
    EXPECT_TRUE(fromFile == propertyListFromData(bytes));
}

TEST(PropertyListFile, FailuresGiveOneLineWithReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("missing.xml"));
    QString error;
    EXPECT_TRUE(propertyListFromFile(missing, &error).isNone());
    EXPECT_TRUE(error.startsWith(missing + QStringLiteral(" could not be read: "))) << error.toStdString();
    EXPECT_TRUE(propertyListFromFile(dir.path(), &error).isNone());
    EXPECT_TRUE(error.contains(dir.path())) << error.toStdString();

    const QString broken = dir.filePath(QStringLiteral("AlbumData.xml"));
    ASSERT_TRUE(writeFile(broken, bigAlbum().chopped(20)));
    EXPECT_TRUE(propertyListFromFile(broken, &error, QStringLiteral("AlbumData.xml")).isNone());
    EXPECT_TRUE(error.startsWith(QStringLiteral("AlbumData.xml could not be read as a property list: ")))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String(" at line "))) << error.toStdString();
    EXPECT_FALSE(error.contains(QLatin1Char('\n')));
}

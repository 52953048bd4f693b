#include "PropertyList.h"

#include "Files.h"

#include <QFile>

#include <expat.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <vector>

// The parser streams the bytes through expat once. Expat calls back for every
// start tag, end tag and piece of character data; the builder below keeps an
// explicit stack of open elements (no recursion anywhere) and the finished
// children of every open container on one shared stack, so that a container
// is created only when it closes, with its exact size.

namespace {

enum class Element : uint8_t { Plist, Dict, Array, Key, String, Integer, Real, Date, Data, True, False };

bool isContainer(Element e) { return e == Element::Dict || e == Element::Array; }

// Elements whose character data is collected.
bool collectsText(Element e)
{
    return e == Element::Key || e == Element::String || e == Element::Integer || e == Element::Real
        || e == Element::Date;
}

bool elementNamed(const char *name, Element *out)
{
    // Called for every tag of the file: decide on the first letter, then
    // confirm the whole name.
    Element element;
    const char *expected = nullptr;
    switch (name[0]) {
    case 'k': element = Element::Key, expected = "key"; break;
    case 's': element = Element::String, expected = "string"; break;
    case 'i': element = Element::Integer, expected = "integer"; break;
    case 'a': element = Element::Array, expected = "array"; break;
    case 'r': element = Element::Real, expected = "real"; break;
    case 't': element = Element::True, expected = "true"; break;
    case 'f': element = Element::False, expected = "false"; break;
    case 'p': element = Element::Plist, expected = "plist"; break;
    case 'd':
        if (name[1] == 'i')
            element = Element::Dict, expected = "dict";
        else if (name[1] == 'a' && name[2] == 't' && name[3] == 'e')
            element = Element::Date, expected = "date";
        else
            element = Element::Data, expected = "data";
        break;
    default: return false;
    }
    if (std::strcmp(name, expected) != 0)
        return false;
    *out = element;
    return true;
}

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool allXmlSpace(const char *s, int len)
{
    for (int i = 0; i < len; ++i)
        if (!isXmlSpace(s[i]))
            return false;
    return true;
}

// True when every byte is below 0x80: the UTF-8 text is then its own Latin-1.
bool isAscii(const QByteArray &text)
{
    unsigned char any = 0;
    for (const char c : text)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

// A name from the file, shortened and made safe to quote in a one-line message.
QString quotedName(const char *name)
{
    QString text = QString::fromUtf8(name, qsizetype(std::min<size_t>(std::strlen(name), 64)));
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('?');
    return QLatin1Char('<') + text + QLatin1Char('>');
}

// The integer of an <integer> element: optional white space around an
// optional sign and decimal digits. Gives false when the text is not such an
// integer or does not fit in int32.
bool int32OfText(const QByteArray &text, int32_t *out)
{
    const char *p = text.constData();
    const char *end = p + text.size();
    while (p < end && isXmlSpace(*p))
        ++p;
    while (end > p && isXmlSpace(end[-1]))
        --end;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    if (p == end)
        return false;
    int64_t magnitude = 0;
    for (; p < end; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            return false;
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min())
        return false;
    *out = int32_t(value);
    return true;
}

// A direct-mapped cache from short UTF-8 texts to something made of them.
// Album files repeat a few texts very often (the dozen keys of every record,
// "Image", "JPEG", empty comments, small keyword numbers): the cache hands out
// one shared item for them, so a hundred thousand records do not make a
// hundred thousand copies. The cache never grows. A text that has been found
// again since it was stored gets a second chance before another text replaces
// it, so the texts every record repeats stay while texts that come once (the
// photo numbers, say) pass through.
template <typename Item> class TextCache {
public:
    static constexpr int kMaxLength = 29;

    // slotCount is a power of two.
    explicit TextCache(size_t slotCount) : m_mask(slotCount - 1), m_slots(slotCount) {}

    // The item cached for the text, or null; texts longer than kMaxLength
    // are never cached.
    const Item *find(const QByteArray &text, size_t *slotOut)
    {
        if (text.size() > kMaxLength)
            return nullptr;
        const size_t slot = hashOf(text) & m_mask;
        *slotOut = slot;
        Slot &entry = m_slots[slot];
        if (entry.used && entry.length == text.size()
            && std::memcmp(entry.text, text.constData(), size_t(text.size())) == 0) {
            entry.foundAgain = true;
            return &entry.item;
        }
        return nullptr;
    }

    void store(size_t slot, const QByteArray &text, const Item &item)
    {
        Slot &entry = m_slots[slot];
        if (entry.foundAgain) {
            entry.foundAgain = false; // the second chance
            return;
        }
        entry.used = true;
        entry.length = uint8_t(text.size());
        std::memcpy(entry.text, text.constData(), size_t(text.size()));
        entry.item = item;
    }

private:
    static size_t hashOf(const QByteArray &text)
    {
        uint64_t h = 14695981039346656037ull; // FNV-1a
        for (const char c : text)
            h = (h ^ uint8_t(c)) * 1099511628211ull;
        return size_t(h ^ (h >> 29));
    }

    struct Slot {
        bool used = false;
        bool foundAgain = false;
        uint8_t length = 0;
        char text[kMaxLength];
        Item item;
    };
    size_t m_mask;
    std::vector<Slot> m_slots;
};

// Cache slots for an input of this size: a few hundred for a big file (the
// texts worth sharing are few, and a small cache stays in the processor's
// cache), a few dozen for a small one, so small inputs parse without big
// set-up costs.
size_t cacheSlotsFor(qsizetype inputSize)
{
    size_t slotCount = 64;
    while (slotCount < 512 && qsizetype(slotCount) * 256 < inputSize)
        slotCount *= 2;
    return slotCount;
}

// The values a caller reads (PropertyListReadOptions::keepOnly) as a tree of
// their key paths: one node per path element, the container each value is
// matched in. A value is kept whole (kAll), left out (kNone), or kept as a
// container holding only what the node below names.
class KeptPaths {
public:
    static constexpr int kAll = -1;
    static constexpr int kNone = -2;

    explicit KeptPaths(const std::vector<QStringList> &paths)
    {
        if (paths.empty())
            return;
        m_nodes.emplace_back();
        for (const QStringList &path : paths) {
            int node = 0;
            for (qsizetype i = 0; i < path.size() && node >= 0; ++i) {
                const bool last = i + 1 == path.size();
                int *next = nullptr;
                if (path[i] == QLatin1String("*")) {
                    next = &m_nodes[size_t(node)].any;
                } else {
                    auto &named = m_nodes[size_t(node)].named;
                    const QByteArray key = path[i].toUtf8();
                    auto found = std::find_if(named.begin(), named.end(), [&](const auto &n) { return n.first == key; });
                    if (found == named.end())
                        found = named.insert(named.end(), {key, kNone});
                    next = &found->second;
                }
                if (last)
                    *next = kAll;
                else if (*next == kNone)
                    *next = int(m_nodes.size());
                node = *next; // kAll: a shorter path keeps it whole already
                if (node == int(m_nodes.size()))
                    m_nodes.emplace_back(); // after the last use of next, which it may move
            }
        }
    }

    int root() const { return m_nodes.empty() ? kAll : 0; }

    // What becomes of a member of a dictionary kept as the node says: a key
    // named in the node goes its own way, any other the way of "*".
    int member(int node, const QByteArray &key) const
    {
        if (node < 0)
            return node;
        for (const auto &[name, next] : m_nodes[size_t(node)].named)
            if (name == key)
                return next;
        return m_nodes[size_t(node)].any;
    }

    int element(int node) const { return node < 0 ? node : m_nodes[size_t(node)].any; }

private:
    struct Node {
        std::vector<std::pair<QByteArray, int>> named;
        int any = kNone;
    };
    std::vector<Node> m_nodes;
};

class Builder {
public:
    Builder(XML_Parser parser, qsizetype inputSize, const std::vector<QStringList> &keepOnly)
        : m_parser(parser)
        , m_kept(keepOnly)
        , m_keyCache(cacheSlotsFor(inputSize))
        , m_stringCache(cacheSlotsFor(inputSize))
        , m_integerCache(cacheSlotsFor(inputSize) / 4)
    {
    }

    bool failed() const { return m_failed; }
    const QString &failure() const { return m_failure; }
    Value takeRoot() { return std::move(m_root); }

    // Stops the parser with a description of what is wrong here. Expat may
    // still deliver an event or two (the end of a self-closing element); every
    // handler ignores them once this has happened.
    void fail(const QString &what)
    {
        if (m_failed)
            return;
        m_failed = true;
        m_failure = what + QStringLiteral(" at line %1, column %2")
                               .arg(qulonglong(XML_GetCurrentLineNumber(m_parser)))
                               .arg(qulonglong(XML_GetCurrentColumnNumber(m_parser)) + 1);
        XML_StopParser(m_parser, XML_FALSE);
    }

    void startElement(const char *name)
    {
        if (m_failed)
            return;
        Element element;
        if (!elementNamed(name, &element))
            return fail(QStringLiteral("unknown element ") + quotedName(name));
        if (m_frames.empty()) {
            if (element != Element::Plist)
                return fail(QStringLiteral("the root element is ") + quotedName(name) + QStringLiteral(", not <plist>"));
            m_frames.push_back(Frame{Element::Plist, false, 0, 0, KeptPaths::kAll, KeptPaths::kNone});
            return;
        }
        Frame &parent = m_frames.back();
        int keep = KeptPaths::kAll;
        switch (parent.element) {
        case Element::Plist:
            keep = m_kept.root();
            if (element == Element::Plist || element == Element::Key)
                return fail(QStringLiteral("unexpected ") + quotedName(name) + QStringLiteral(" in <plist>"));
            if (m_items.size() > parent.itemStart)
                return fail(QStringLiteral("more than one value in <plist>"));
            break;
        case Element::Dict:
            if (element == Element::Key) {
                if (parent.awaitingValue)
                    return fail(QStringLiteral("a <key> without a value in <dict>"));
            } else if (!parent.awaitingValue) {
                return fail(QStringLiteral("a value without a <key> in <dict>"));
            } else if (element == Element::Plist) {
                return fail(QStringLiteral("unexpected <plist> in <dict>"));
            }
            // A key is read when its dictionary is kept at all.
            keep = element == Element::Key ? parent.keep : parent.memberKeep;
            break;
        case Element::Array:
            if (element == Element::Key || element == Element::Plist)
                return fail(QStringLiteral("unexpected ") + quotedName(name) + QStringLiteral(" in <array>"));
            keep = m_kept.element(parent.keep);
            break;
        default:
            return fail(QStringLiteral("unexpected element ") + quotedName(name) + QStringLiteral(" inside a value"));
        }
        if (isContainer(element)) {
            if (m_containerDepth >= kMaxPropertyListDepth)
                return fail(QStringLiteral("containers nested deeper than %1 levels").arg(kMaxPropertyListDepth));
            ++m_containerDepth;
        }
        m_text.truncate(0); // keeps the buffer for the next leaf
        m_frames.push_back(Frame{element, false, m_items.size(), m_keys.size(), keep, KeptPaths::kNone});
    }

    void endElement()
    {
        if (m_failed || m_frames.empty())
            return;
        const Frame frame = m_frames.back();
        m_frames.pop_back();
        switch (frame.element) {
        case Element::Plist:
            if (m_items.size() == frame.itemStart)
                return fail(QStringLiteral("no value in <plist>"));
            m_root = std::move(m_items.back());
            m_items.pop_back();
            return;
        case Element::Key: {
            Frame &dict = m_frames.back();
            dict.awaitingValue = true;
            dict.memberKeep = m_kept.member(frame.keep, m_text);
            if (dict.memberKeep != KeptPaths::kNone)
                m_keys.push_back(internedKey());
            return;
        }
        default:
            break;
        }
        if (frame.keep == KeptPaths::kNone) {
            // Checked like any other value, but not built; its children were
            // left out as well.
            if (frame.element == Element::Dict && frame.awaitingValue)
                return fail(QStringLiteral("a <key> without a value in <dict>"));
            if (isContainer(frame.element))
                --m_containerDepth;
            m_frames.back().awaitingValue = false;
            return;
        }
        switch (frame.element) {
        case Element::Plist:
        case Element::Key:
            return; // handled above
        case Element::Dict: {
            if (frame.awaitingValue)
                return fail(QStringLiteral("a <key> without a value in <dict>"));
            --m_containerDepth;
            const size_t count = m_items.size() - frame.itemStart;
            Value dict = Value::dictionary(keyList(frame.keyStart, count),
                                           std::span<Value>(m_items.data() + frame.itemStart, count));
            m_items.resize(frame.itemStart);
            m_keys.resize(frame.keyStart);
            return addValue(std::move(dict));
        }
        case Element::Array: {
            --m_containerDepth;
            const size_t count = m_items.size() - frame.itemStart;
            Value array = Value::array(qsizetype(count));
            for (size_t i = 0; i < count; ++i)
                array.append(std::move(m_items[frame.itemStart + i]));
            m_items.resize(frame.itemStart);
            return addValue(std::move(array));
        }
        case Element::String:
            return addValue(stringValue());
        case Element::Integer: {
            int32_t number = 0;
            if (int32OfText(m_text, &number))
                return addValue(integerValue(number));
            return addValue(Value::opaque(QString::fromUtf8(m_text))); // rare: keeps its text
        }
        case Element::Real:
        case Element::Date:
        case Element::Data:
            // Nothing reads these leaves: one shared node without text stands
            // for all of them, which spares two nodes and two texts per record.
            return addValue(m_opaqueLeaf);
        case Element::True:
            return addValue(Value::boolean(true));
        case Element::False:
            return addValue(Value::boolean(false));
        }
    }

    void characterData(const char *s, int len)
    {
        if (m_failed || m_frames.empty())
            return;
        const Frame &frame = m_frames.back();
        const Element element = frame.element;
        if (collectsText(element)) {
            if (frame.keep != KeptPaths::kNone)
                m_text.append(s, len);
        }
        else if (element != Element::Data && !allXmlSpace(s, len))
            fail(QStringLiteral("unexpected text in ") + quotedName(elementName(element)));
    }

private:
    struct Frame {
        Element element;
        bool awaitingValue; // a <dict> whose last member so far is a key
        size_t itemStart;   // first child on m_items
        size_t keyStart;    // first key on m_keys
        int keep;           // what of this value the tree keeps (KeptPaths)
        int memberKeep;     // in a <dict>: the same for the value of its last key
    };

    static const char *elementName(Element e)
    {
        switch (e) {
        case Element::Plist: return "plist";
        case Element::Dict: return "dict";
        case Element::Array: return "array";
        case Element::Key: return "key";
        case Element::String: return "string";
        case Element::Integer: return "integer";
        case Element::Real: return "real";
        case Element::Date: return "date";
        case Element::Data: return "data";
        case Element::True: return "true";
        case Element::False: return "false";
        }
        return "?";
    }

    void addValue(Value value)
    {
        m_items.push_back(std::move(value));
        Frame &parent = m_frames.back(); // <plist> at least: the root is checked on start
        parent.awaitingValue = false;
    }

    // Every record repeats the same dozen keys: one QString per key text,
    // shared by all the dictionaries that use it.
    QString internedKey()
    {
        size_t slot = 0;
        if (const QString *key = m_keyCache.find(m_text, &slot))
            return *key;
        QString key = isAscii(m_text) ? QString::fromLatin1(m_text) : QString::fromUtf8(m_text);
        if (m_text.size() <= TextCache<QString>::kMaxLength)
            m_keyCache.store(slot, m_text, key);
        return key;
    }

    // The key list of a dictionary that ends here. Records repeat a few
    // lists of the same keys: a small cache hands out one shared list for
    // each, so a record holds no keys of its own. Lists are matched by their
    // texts, so sharing does not depend on the key cache handing out the same
    // QString every time.
    QStringList keyList(size_t start, size_t count)
    {
        const QString *keys = m_keys.data() + start;
        if (count > kMaxSharedKeyList)
            return QStringList(keys, keys + count);
        size_t h = count;
        for (size_t i = 0; i < count; ++i) {
            const QString &key = keys[i];
            h = h * 31 + size_t(key.size());
            if (!key.isEmpty())
                h = h * 31 + key.front().unicode() * 7 + key.back().unicode();
        }
        QStringList &cached = m_keyLists[(h ^ (h >> 17)) % m_keyLists.size()];
        bool same = size_t(cached.size()) == count;
        for (size_t i = 0; same && i < count; ++i) {
            const QString &known = cached.at(qsizetype(i));
            same = known.constData() == keys[i].constData() ? known.size() == keys[i].size() : known == keys[i];
        }
        if (!same)
            cached = QStringList(keys, keys + count);
        return cached;
    }

    // Short strings repeat as well ("Image", "JPEG", empty comments): equal
    // short strings share one node. Sharing is invisible to readers, since a
    // string node never changes.
    Value stringValue()
    {
        size_t slot = 0;
        if (const Value *value = m_stringCache.find(m_text, &slot))
            return *value;
        // ASCII, nearly every string of an album file, goes into the node as
        // it is; anything else is decoded first.
        Value value = isAscii(m_text) ? Value::string(QLatin1String(m_text.constData(), m_text.size()))
                                      : Value::string(QString::fromUtf8(m_text));
        if (m_text.size() <= TextCache<Value>::kMaxLength)
            m_stringCache.store(slot, m_text, value);
        return value;
    }

    // Integers too: ratings, roll numbers and counts share their nodes.
    Value integerValue(int32_t number)
    {
        Value &cached = m_integerCache[size_t(uint32_t(number)) % m_integerCache.size()];
        if (!cached.isInteger() || cached.toInt() != number)
            cached = Value::integer(number);
        return cached;
    }

    XML_Parser m_parser;
    const KeptPaths m_kept;
    std::vector<Frame> m_frames;
    std::vector<Value> m_items;
    std::vector<QString> m_keys;
    static constexpr size_t kMaxSharedKeyList = 64;
    std::vector<QStringList> m_keyLists = std::vector<QStringList>(64);
    TextCache<QString> m_keyCache;
    TextCache<Value> m_stringCache;
    std::vector<Value> m_integerCache;
    const Value m_opaqueLeaf = Value::opaque();
    QByteArray m_text;
    int m_containerDepth = 0;
    Value m_root;
    bool m_failed = false;
    QString m_failure;
};

extern "C" {

void onStartElement(void *userData, const XML_Char *name, const XML_Char **)
{
    static_cast<Builder *>(userData)->startElement(name);
}

void onEndElement(void *userData, const XML_Char *)
{
    static_cast<Builder *>(userData)->endElement();
}

void onCharacterData(void *userData, const XML_Char *s, int len)
{
    static_cast<Builder *>(userData)->characterData(s, len);
}

void onStartDoctype(void *userData, const XML_Char *, const XML_Char *, const XML_Char *, int hasInternalSubset)
{
    if (hasInternalSubset)
        static_cast<Builder *>(userData)->fail(QStringLiteral("a DOCTYPE with an internal subset is not allowed"));
}

void onEntityDeclaration(void *userData, const XML_Char *, int, const XML_Char *, int, const XML_Char *,
                         const XML_Char *, const XML_Char *, const XML_Char *)
{
    static_cast<Builder *>(userData)->fail(QStringLiteral("entity declarations are not allowed"));
}

// An entity reference expat cannot resolve without loading an external DTD:
// an error rather than text silently left out.
void onSkippedEntity(void *userData, const XML_Char *name, int)
{
    static_cast<Builder *>(userData)->fail(QStringLiteral("undefined entity &") + QString::fromUtf8(name).left(64)
                                           + QLatin1Char(';'));
}

} // extern "C"

// Makes sure the description is a single line whatever it quotes.
QString oneLine(QString text)
{
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.unicode() == 0x2028 || c.unicode() == 0x2029)
            c = QLatin1Char(' ');
    return text;
}

struct ParserDeleter {
    void operator()(XML_ParserStruct *parser) const { XML_ParserFree(parser); }
};

// Expat's memory, each block with its size in front of it, so that the feeding
// loop can tell how long expat's input buffer is.
struct alignas(std::max_align_t) BlockHeader {
    size_t size;
};

void *allocateBlock(size_t size)
{
    auto *header = static_cast<BlockHeader *>(std::malloc(sizeof(BlockHeader) + size));
    if (!header)
        return nullptr;
    header->size = size;
    return header + 1;
}

void *reallocateBlock(void *block, size_t size)
{
    if (!block)
        return allocateBlock(size);
    auto *header = static_cast<BlockHeader *>(std::realloc(static_cast<BlockHeader *>(block) - 1, sizeof(BlockHeader) + size));
    if (!header)
        return nullptr;
    header->size = size;
    return header + 1;
}

void freeBlock(void *block)
{
    if (block)
        std::free(static_cast<BlockHeader *>(block) - 1);
}

size_t blockSize(const void *block) { return (static_cast<const BlockHeader *>(block) - 1)->size; }

const XML_Memory_Handling_Suite kSizedBlocks = {allocateBlock, reallocateBlock, freeBlock};

// The bytes expat keeps before the unparsed ones (for XML_GetInputContext).
qsizetype contextBytes()
{
    for (const XML_Feature *feature = XML_GetFeatureList(); feature && feature->feature != XML_FEATURE_END; ++feature)
        if (feature->feature == XML_FEATURE_CONTEXT_BYTES)
            return qsizetype(feature->value);
    return 0;
}

} // namespace

namespace {

// Reads the next slice of the input into the buffer: the number of bytes, 0 at
// the end, -1 on a read error (with its one-line description).
using SliceReader = std::function<qsizetype(char *buffer, qsizetype capacity, QString *readError)>;

// A limit in a message: whole megabytes as such, anything else in bytes.
QString sizeText(qsizetype bytes)
{
    constexpr qsizetype kMegabyte = qsizetype(1) << 20;
    return bytes % kMegabyte == 0 ? QStringLiteral("%1 MB").arg(bytes / kMegabyte)
                                  : QStringLiteral("%1 bytes").arg(bytes);
}

// Streams the input through expat a slice at a time. Each slice goes straight
// into expat's own buffer, which stays the size of one slice (or of the
// longest token, see below), so the parse needs no second copy of the input.
Value parsePropertyList(qsizetype sizeHint, const SliceReader &read, QString *errorDescription,
                        const QString &sourceName, const PropertyListReadOptions &options)
{
    if (errorDescription)
        errorDescription->clear();
    const QString prefix = (sourceName.isEmpty() ? QStringLiteral("The data") : sourceName)
                           + QStringLiteral(" could not be read as a property list: ");
    const auto failWith = [&](const QString &reason) {
        if (errorDescription)
            *errorDescription = oneLine(prefix + reason);
        return Value();
    };

    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate_MM(nullptr, &kSizedBlocks, nullptr));
    if (!parser)
        return failWith(QStringLiteral("out of memory"));
    XML_Parser p = parser.get();
    Builder builder(p, sizeHint, options.keepOnly);
    XML_SetUserData(p, &builder);
    XML_SetElementHandler(p, onStartElement, onEndElement);
    XML_SetCharacterDataHandler(p, onCharacterData);
    XML_SetStartDoctypeDeclHandler(p, onStartDoctype);
    XML_SetEntityDeclHandler(p, onEntityDeclaration);
    XML_SetSkippedEntityHandler(p, onSkippedEntity);
    // The external DTD is never read, nor any external entity.
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 6)
    // Newer expat waits for enough new bytes before it scans an unfinished
    // token again; the slices below keep older ones linear as well.
    XML_SetReparseDeferralEnabled(p, XML_TRUE);
#endif

    // Slices of up to a megabyte; a small input is read in one small slice.
    constexpr qsizetype kMaxSlice = qsizetype(1) << 30; // expat's buffer sizes are ints
    const qsizetype baseSlice = std::min(options.sliceBytes > 0 ? options.sliceBytes
                                                                : std::clamp(sizeHint, qsizetype(4096), qsizetype(1) << 20),
                                         kMaxSlice);
    const qsizetype maxToken = std::clamp(options.maxTokenBytes, qsizetype(1), kMaxSlice);
    const qsizetype context = contextBytes();
    qsizetype slice = baseSlice;
    qsizetype request = slice; // what expat is asked to make room for: at least the slice
    std::span<const char> movedWithin; // the buffer expat should move its bytes back within
    bool moveBack = true;
    qint64 fed = 0;
    XML_Status status = XML_STATUS_OK;
    for (;;) {
        char *buffer = static_cast<char *>(XML_GetBuffer(p, int(request)));
        if (!buffer)
            return failWith(QStringLiteral("out of memory"));
        // Should expat have grown its buffer instead, it is never asked again.
        if (!movedWithin.empty() && (std::less<>()(buffer, movedWithin.data())
                                     || !std::less<>()(buffer, movedWithin.data() + movedWithin.size())))
            moveBack = false;
        QString readError;
        const qsizetype length = read(buffer, slice, &readError);
        if (length < 0) {
            if (errorDescription)
                *errorDescription = oneLine(readError);
            return Value();
        }
        status = XML_ParseBuffer(p, int(length), length == 0 ? XML_TRUE : XML_FALSE);
        if (status != XML_STATUS_OK || length == 0)
            break;
        fed += length;
        // Expat keeps the bytes of a token it has not seen the end of and
        // scans them again from the token's start with every slice. While a
        // token is pending the next slice is as long as the pending bytes, so
        // the slices double and all the rescans together cost about twice the
        // token; once it ends the slices are back to their usual size. The
        // last slice of a token at the limit reaches just past the limit.
        const XML_Index parsed = XML_GetCurrentByteIndex(p);
        const qsizetype pending = parsed < 0 ? 0 : qsizetype(fed - parsed);
        if (pending > maxToken)
            return failWith(QStringLiteral("a single XML token is longer than %1 at line %2, column %3")
                                .arg(sizeText(maxToken))
                                .arg(qulonglong(XML_GetCurrentLineNumber(p)))
                                .arg(qulonglong(XML_GetCurrentColumnNumber(p)) + 1));
        slice = std::max(baseSlice, std::min(pending, maxToken + 1 - pending));
        // Never more than the input has left (the size is known): expat's
        // buffer grows to hold the slice, long token and all.
        slice = std::min(slice, std::max(sizeHint - qsizetype(fed), qsizetype(1)));
        // After a long token expat's buffer is far longer than a slice. Left
        // alone, the slices would walk through all of it and make every page
        // of it resident. Asking for just more room than is left at its end,
        // but no more than it holds, makes expat move the unparsed bytes back
        // to its start instead, where the pages are in use already.
        request = slice;
        movedWithin = {};
        int used = 0;
        if (const char *data = XML_GetInputContext(p, nullptr, &used); moveBack && data && used >= 0) {
            const qsizetype capacity = qsizetype(blockSize(data));
            if (qsizetype(used) >= pending + context + 2 * slice && capacity - used >= slice) {
                request = capacity - used + 1;
                movedWithin = std::span<const char>(data, size_t(capacity));
            }
        }
    }

    if (builder.failed())
        return failWith(builder.failure());
    if (status != XML_STATUS_OK)
        return failWith(QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(p)))
                        + QStringLiteral(" at line %1, column %2")
                              .arg(qulonglong(XML_GetCurrentLineNumber(p)))
                              .arg(qulonglong(XML_GetCurrentColumnNumber(p)) + 1));
    Value root = builder.takeRoot();
    if (root.isNone()) // not reached: expat insists on a root element
        return failWith(QStringLiteral("no property list found"));
    return root;
}

} // namespace

Value propertyListFromData(const QByteArray &data, QString *errorDescription, const QString &sourceName,
                           const PropertyListReadOptions &options)
{
    qsizetype offset = 0;
    const auto read = [&data, &offset](char *buffer, qsizetype capacity, QString *) {
        const qsizetype length = std::min(capacity, data.size() - offset);
        if (length > 0)
            std::memcpy(buffer, data.constData() + offset, size_t(length));
        offset += length;
        return length;
    };
    return parsePropertyList(data.size(), read, errorDescription, sourceName, options);
}

Value propertyListFromFile(const QString &path, QString *errorDescription, const QString &sourceName,
                           const PropertyListReadOptions &options)
{
    QFile file;
    const auto cannotRead = [&path, &file]() {
        return QStringLiteral("%1 could not be read: %2").arg(path, file.errorString());
    };
    QString openError;
    if (!openRegularFileForReading(file, path, &openError)) {
        if (errorDescription)
            *errorDescription = oneLine(openError);
        return Value();
    }
    // The file as long as it was when opened: one that someone keeps appending
    // to cannot make the load go on, and its memory grow, for ever.
    const qint64 totalBytes = file.size();
    qint64 bytesRead = 0;
    const auto read = [&](char *buffer, qsizetype capacity, QString *readError) {
        if (options.cancel && options.cancel->load(std::memory_order_relaxed)) {
            *readError = QStringLiteral("cancelled");
            return qsizetype(-1);
        }
        const qsizetype wanted = qsizetype(std::min<qint64>(capacity, totalBytes - bytesRead));
        qsizetype filled = 0;
        while (filled < wanted) {
            const qint64 got = file.read(buffer + filled, wanted - filled);
            if (got < 0) {
                *readError = cannotRead();
                return qsizetype(-1);
            }
            if (got == 0)
                break;
            filled += qsizetype(got);
        }
        bytesRead += filled;
        if (options.progress)
            options.progress(bytesRead, totalBytes);
        return filled;
    };
    return parsePropertyList(qsizetype(totalBytes), read, errorDescription, sourceName, options);
}

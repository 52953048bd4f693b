#include "Value.h"

#include <QHashFunctions>

#include <cstring>
#include <algorithm>
#include <memory>
#include <new>
#include <utility>
#include <vector>

struct Value::Node {
    explicit Node(Kind k, bool immortal = false) : kind(k), immortal(immortal) {}
    int32_t refs = 1;
    Kind kind;
    bool immortal; // the shared null and the two booleans are never freed
};

namespace {

using Node = Value::Node;
using Kind = Value::Kind;

// A string node holds its text in one of two ways. Strings made from a
// QString keep that QString, so toString() hands it out shared, without a copy
// (documents built for writing). Strings made from Latin-1 text (the ASCII
// strings of a parsed album file, hundreds of thousands of them) keep their
// bytes right behind the node, in the node's own allocation: half the memory
// of UTF-16 and one allocation fewer; toString() builds their QString.
struct StringNode : Node {
    explicit StringNode(bool latin1) : Node(Kind::String), latin1(latin1) {}
    bool latin1;
};

struct QStringNode : StringNode {
    explicit QStringNode(const QString &t) : StringNode(false), text(t) {}
    QString text;
};

struct Latin1Node : StringNode {
    explicit Latin1Node(qsizetype n) : StringNode(true), length(n) {}
    qsizetype length;

    const char *bytes() const { return reinterpret_cast<const char *>(this + 1); }
    QLatin1String view() const { return QLatin1String(bytes(), length); }

    static Latin1Node *make(QLatin1String text)
    {
        void *memory = ::operator new(sizeof(Latin1Node) + size_t(text.size()));
        auto *node = new (memory) Latin1Node(text.size());
        if (text.size() > 0)
            std::memcpy(reinterpret_cast<char *>(node + 1), text.data(), size_t(text.size()));
        return node;
    }

    static void free(Latin1Node *node)
    {
        node->~Latin1Node();
        ::operator delete(node);
    }
};

QString textOf(const StringNode *node)
{
    if (node->latin1)
        return QString(static_cast<const Latin1Node *>(node)->view()); // never null, "" when empty
    return static_cast<const QStringNode *>(node)->text;
}

// Equal code units, whichever way either side holds them; a null string
// equals an empty one, as QStrings do.
bool sameText(const StringNode *a, const StringNode *b)
{
    if (a->latin1 && b->latin1)
        return static_cast<const Latin1Node *>(a)->view() == static_cast<const Latin1Node *>(b)->view();
    if (a->latin1)
        return static_cast<const Latin1Node *>(a)->view() == static_cast<const QStringNode *>(b)->text;
    if (b->latin1)
        return static_cast<const QStringNode *>(a)->text == static_cast<const Latin1Node *>(b)->view();
    return static_cast<const QStringNode *>(a)->text == static_cast<const QStringNode *>(b)->text;
}

struct IntegerNode : Node {
    explicit IntegerNode(int32_t n) : Node(Kind::Integer), number(n) {}
    int32_t number;
};

struct DecimalNode : Node {
    explicit DecimalNode(const Decimal &d) : Node(Kind::Decimal), number(d) {}
    Decimal number;
};

struct BooleanNode : Node {
    explicit BooleanNode(bool f) : Node(Kind::Boolean, true), flag(f) {}
    bool flag;
};

struct OpaqueNode : Node {
    explicit OpaqueNode(const QString &t) : Node(Kind::Opaque), text(t) {}
    QString text;
};

// The elements of a container node. They start out in the node's own
// allocation, right behind the node, with room for as many as the container
// was made for (a parsed container knows its size), which spares one
// allocation per container; one that outgrows that room moves to a block of
// its own.
template <typename T> class Elements {
public:
    Elements(T *room, size_t capacity) : m_data(room), m_capacity(capacity) {}
    Elements(const Elements &) = delete;
    Elements &operator=(const Elements &) = delete;
    ~Elements()
    {
        std::destroy_n(m_data, m_size);
        if (m_ownBlock)
            ::operator delete(m_data);
    }

    size_t size() const { return m_size; }
    size_t capacity() const { return m_capacity; }
    T &operator[](size_t i) { return m_data[i]; }
    const T &operator[](size_t i) const { return m_data[i]; }
    const T *begin() const { return m_data; }
    const T *end() const { return m_data + m_size; }

    void reserve(size_t capacity)
    {
        if (capacity <= m_capacity)
            return;
        T *block = static_cast<T *>(::operator new(capacity * sizeof(T)));
        std::uninitialized_move_n(m_data, m_size, block);
        std::destroy_n(m_data, m_size);
        if (m_ownBlock)
            ::operator delete(m_data);
        m_data = block;
        m_capacity = capacity;
        m_ownBlock = true;
    }

    void push_back(T &&item)
    {
        if (m_size == m_capacity)
            reserve(std::max<size_t>(4, 2 * m_capacity));
        new (m_data + m_size) T(std::move(item));
        ++m_size;
    }

private:
    T *m_data;
    size_t m_size = 0;
    size_t m_capacity;
    bool m_ownBlock = false;
};

// Makes a container node with room for capacity items behind it.
template <typename N> N *makeContainer(qsizetype capacity)
{
    const size_t room = capacity > 0 ? size_t(capacity) : 0;
    void *memory = ::operator new(sizeof(N) + room * sizeof(typename N::Item));
    auto *items = reinterpret_cast<typename N::Item *>(static_cast<char *>(memory) + sizeof(N));
    return new (memory) N(items, room);
}

template <typename N> void freeContainer(N *node)
{
    node->~N();
    ::operator delete(node);
}

struct ArrayNode : Node {
    using Item = Value;
    ArrayNode(Value *room, size_t capacity) : Node(Kind::Array), elements(room, capacity) {}
    Elements<Value> elements;
};

// Keys and values live in two flat lists in insertion order. The key list is
// implicitly shared: dictionaries made from one list (a hundred thousand
// records with the same dozen keys) hold their keys once, and a shared list is
// copied only when one of them gains a key. Past kIndexThreshold members an
// open-addressing table of member positions (linear probing, at most half
// full) finds keys; below it a linear scan is faster and smaller.
struct DictionaryNode : Node {
    static constexpr size_t kIndexThreshold = 16;

    using Item = Value;
    DictionaryNode(Value *room, size_t capacity) : Node(Kind::Dictionary), values(room, capacity) {}

    QStringList keys; // read through const access only, so that reading never copies a shared list
    Elements<Value> values;
    std::unique_ptr<uint32_t[]> table; // member position + 1; 0 is empty
    size_t slotMask = 0;

    size_t size() const { return values.size(); }
    const QString &keyAt(size_t position) const { return keys.at(qsizetype(position)); }

    static size_t hashOf(const QString &key) { return qHash(key, QHashSeed::globalSeed()); }

    // Position of the key, or -1.
    qsizetype find(const QString &key) const
    {
        if (!table) {
            for (size_t i = 0; i < size(); ++i)
                if (keyAt(i) == key)
                    return qsizetype(i);
            return -1;
        }
        for (size_t s = hashOf(key) & slotMask;; s = (s + 1) & slotMask) {
            const uint32_t slot = table[s];
            if (slot == 0)
                return -1;
            if (keyAt(slot - 1) == key)
                return qsizetype(slot - 1);
        }
    }

    void placeInIndex(size_t position)
    {
        size_t s = hashOf(keyAt(position)) & slotMask;
        while (table[s] != 0)
            s = (s + 1) & slotMask;
        table[s] = uint32_t(position + 1);
    }

    // Builds the index of a fresh dictionary; false when a key repeats.
    bool indexDistinctKeys()
    {
        size_t capacity = 16;
        while (capacity < size() * 2)
            capacity *= 2;
        table = std::make_unique<uint32_t[]>(capacity); // zero-filled
        slotMask = capacity - 1;
        for (size_t position = 0; position < size(); ++position) {
            const QString &key = keyAt(position);
            size_t s = hashOf(key) & slotMask;
            for (; table[s] != 0; s = (s + 1) & slotMask)
                if (keyAt(table[s] - 1) == key)
                    return false;
            table[s] = uint32_t(position + 1);
        }
        return true;
    }

    void rebuildIndex(size_t forCount)
    {
        size_t capacity = 16;
        while (capacity < forCount * 2)
            capacity *= 2;
        table = std::make_unique<uint32_t[]>(capacity); // zero-filled
        slotMask = capacity - 1;
        for (size_t i = 0; i < size(); ++i)
            placeInIndex(i);
    }

    void insert(const QString &key, Value value)
    {
        const qsizetype existing = find(key);
        if (existing >= 0) {
            values[size_t(existing)] = std::move(value);
            return;
        }
        if (values.size() == values.capacity()) {
            // Both lists grow together, by as much, in few steps.
            const size_t capacity = std::max<size_t>(8, 2 * values.capacity());
            values.reserve(capacity);
            keys.reserve(qsizetype(capacity));
        }
        keys.append(key);
        values.push_back(std::move(value));
        const size_t n = size();
        if (n <= kIndexThreshold)
            return;
        if (!table || n * 2 > slotMask + 1)
            rebuildIndex(n);
        else
            placeInIndex(n - 1);
    }
};

// True when no key of a short list repeats. The list met last is
// remembered, so that records sharing one list are checked once, not each
// time.
bool shortKeysAreDistinct(const QStringList &keys)
{
    thread_local QStringList tLastDistinct;
    if (keys.size() == tLastDistinct.size() && keys.constData() == tLastDistinct.constData())
        return true; // the same shared list, checked before
    for (qsizetype i = 1; i < keys.size(); ++i)
        for (qsizetype j = 0; j < i; ++j)
            if (keys.at(i) == keys.at(j))
                return false;
    tLastDistinct = keys;
    return true;
}

BooleanNode gTrue(true);
BooleanNode gFalse(false);
Node gNull(Kind::Null, true);

template <typename T> T *as(Node *node) { return static_cast<T *>(node); }

void destroy(Node *node)
{
    switch (node->kind) {
    case Kind::String:
        if (as<StringNode>(node)->latin1)
            Latin1Node::free(as<Latin1Node>(node));
        else
            delete as<QStringNode>(node);
        break;
    case Kind::Integer: delete as<IntegerNode>(node); break;
    case Kind::Decimal: delete as<DecimalNode>(node); break;
    case Kind::Opaque: delete as<OpaqueNode>(node); break;
    case Kind::Array: freeContainer(as<ArrayNode>(node)); break;
    case Kind::Dictionary: freeContainer(as<DictionaryNode>(node)); break;
    case Kind::Boolean:
    case Kind::Null:
    case Kind::None: break; // immortal, never reached
    }
}

// Containers freed while another container is being freed are queued here
// instead of being freed recursively, so a tree of any depth is freed with a
// bounded stack.
thread_local std::vector<Node *> *tPendingFrees = nullptr;

} // namespace

void Value::retain(Node *node)
{
    if (node && !node->immortal)
        ++node->refs;
}

void Value::release(Node *node)
{
    if (!node || node->immortal || --node->refs > 0)
        return;
    if (node->kind != Kind::Array && node->kind != Kind::Dictionary) {
        destroy(node);
        return;
    }
    if (tPendingFrees) {
        tPendingFrees->push_back(node);
        return;
    }
    std::vector<Node *> pending{node};
    tPendingFrees = &pending;
    while (!pending.empty()) {
        Node *next = pending.back();
        pending.pop_back();
        destroy(next);
    }
    tPendingFrees = nullptr;
}

Value::Value(const Value &other) noexcept : m_node(other.m_node) { retain(m_node); }

Value &Value::operator=(const Value &other) noexcept
{
    retain(other.m_node);
    release(m_node);
    m_node = other.m_node;
    return *this;
}

Value &Value::operator=(Value &&other) noexcept
{
    if (this != &other) {
        release(m_node);
        m_node = std::exchange(other.m_node, nullptr);
    }
    return *this;
}

Value::~Value() { release(m_node); }

Value Value::dictionary(qsizetype reserve)
{
    DictionaryNode *node = makeContainer<DictionaryNode>(reserve);
    if (reserve > 0)
        node->keys.reserve(reserve);
    return Value(node);
}

Value Value::dictionary(const QStringList &keys, std::span<Value> values)
{
    const size_t n = values.size();
    DictionaryNode *node = makeContainer<DictionaryNode>(qsizetype(n));
    Value dict(node);
    node->keys = keys;
    for (Value &value : values)
        node->values.push_back(std::move(value));
    const bool distinct = size_t(keys.size()) == n
                          && (n > DictionaryNode::kIndexThreshold ? node->indexDistinctKeys()
                                                                  : shortKeysAreDistinct(keys));
    if (distinct)
        return dict;
    // Member by member, so that a repeated key keeps its first place and its
    // last value (and a value without a key is left out).
    Value rebuilt = dictionary(qsizetype(n));
    for (size_t i = 0; i < std::min(n, size_t(keys.size())); ++i)
        rebuilt.insert(keys.at(qsizetype(i)), std::move(node->values[i]));
    return rebuilt;
}
Value Value::array(qsizetype reserve) { return Value(makeContainer<ArrayNode>(reserve)); }

Value Value::string(const QString &text) { return Value(new QStringNode(text)); }

Value Value::string(QLatin1String text)
{
    if (text.data() == nullptr)
        return string(QString()); // keeps a null string null
    return Value(Latin1Node::make(text));
}
Value Value::integer(int32_t number) { return Value(new IntegerNode(number)); }
Value Value::decimal(const Decimal &number) { return Value(new DecimalNode(number)); }
Value Value::boolean(bool flag) { return Value(flag ? &gTrue : &gFalse); }
Value Value::null() { return Value(&gNull); }
Value Value::opaque(const QString &text) { return Value(new OpaqueNode(text)); }

Value::Kind Value::kind() const { return m_node ? m_node->kind : Kind::None; }

QString Value::toString() const
{
    return isString() ? textOf(as<StringNode>(m_node)) : QString();
}

int32_t Value::toInt() const { return isInteger() ? as<IntegerNode>(m_node)->number : 0; }

Decimal Value::toDecimal() const
{
    if (isInteger())
        return Decimal::fromInt(as<IntegerNode>(m_node)->number);
    if (isDecimal())
        return as<DecimalNode>(m_node)->number;
    return Decimal();
}

bool Value::toBool() const { return isBoolean() && as<BooleanNode>(m_node)->flag; }

QString Value::opaqueText() const
{
    return isOpaque() ? as<OpaqueNode>(m_node)->text : QString();
}

qsizetype Value::count() const
{
    if (isArray())
        return qsizetype(as<ArrayNode>(m_node)->elements.size());
    if (isDictionary())
        return qsizetype(as<DictionaryNode>(m_node)->size());
    return 0;
}

Value Value::at(qsizetype index) const
{
    if (!isArray())
        return Value();
    const auto &elements = as<ArrayNode>(m_node)->elements;
    if (index < 0 || size_t(index) >= elements.size())
        return Value();
    return elements[size_t(index)];
}

void Value::append(const Value &element)
{
    append(Value(element)); // a copy first: the element may be one of this array's own
}

void Value::append(Value &&element)
{
    if (isArray())
        as<ArrayNode>(m_node)->elements.push_back(std::move(element));
}

void Value::reserve(qsizetype capacity)
{
    if (capacity <= 0)
        return;
    if (isArray())
        as<ArrayNode>(m_node)->elements.reserve(size_t(capacity));
    else if (isDictionary())
    {
        as<DictionaryNode>(m_node)->keys.reserve(capacity);
        as<DictionaryNode>(m_node)->values.reserve(size_t(capacity));
    }
}

Value Value::value(const QString &key) const
{
    if (!isDictionary())
        return Value();
    const auto *dict = as<DictionaryNode>(m_node);
    const qsizetype position = dict->find(key);
    return position < 0 ? Value() : dict->values[size_t(position)];
}

bool Value::contains(const QString &key) const
{
    return isDictionary() && as<DictionaryNode>(m_node)->find(key) >= 0;
}

void Value::insert(const QString &key, const Value &value)
{
    if (isDictionary())
        as<DictionaryNode>(m_node)->insert(key, value);
}

void Value::insert(const QString &key, Value &&value)
{
    if (isDictionary())
        as<DictionaryNode>(m_node)->insert(key, std::move(value));
}

QString Value::keyAt(qsizetype index) const
{
    if (!isDictionary() || index < 0 || index >= count())
        return QString();
    return as<DictionaryNode>(m_node)->keyAt(size_t(index));
}

Value Value::valueAt(qsizetype index) const
{
    if (!isDictionary() || index < 0 || index >= count())
        return Value();
    return as<DictionaryNode>(m_node)->values[size_t(index)];
}

bool operator==(const Value &a, const Value &b)
{
    // Iterative, so that comparing deep trees needs no deep stack.
    std::vector<std::pair<const Value *, const Value *>> work{{&a, &b}};
    while (!work.empty()) {
        const auto [x, y] = work.back();
        work.pop_back();
        if (x->isSameNode(*y))
            continue;
        if (x->isNumber() && y->isNumber()) {
            if (x->toDecimal() != y->toDecimal())
                return false;
            continue;
        }
        if (x->kind() != y->kind())
            return false;
        switch (x->kind()) {
        case Value::Kind::None:
        case Value::Kind::Null:
            break;
        case Value::Kind::Boolean:
            if (x->toBool() != y->toBool())
                return false;
            break;
        case Value::Kind::String:
            if (!sameText(static_cast<StringNode *>(x->m_node), static_cast<StringNode *>(y->m_node)))
                return false;
            break;
        case Value::Kind::Opaque:
            if (x->opaqueText() != y->opaqueText())
                return false;
            break;
        case Value::Kind::Integer:
        case Value::Kind::Decimal:
            break; // handled above
        case Value::Kind::Array: {
            const auto &xs = static_cast<ArrayNode *>(x->m_node)->elements;
            const auto &ys = static_cast<ArrayNode *>(y->m_node)->elements;
            if (xs.size() != ys.size())
                return false;
            for (size_t i = 0; i < xs.size(); ++i)
                work.emplace_back(&xs[i], &ys[i]);
            break;
        }
        case Value::Kind::Dictionary: {
            const auto *xd = static_cast<DictionaryNode *>(x->m_node);
            const auto *yd = static_cast<DictionaryNode *>(y->m_node);
            if (xd->size() != yd->size())
                return false;
            for (size_t i = 0; i < xd->size(); ++i) {
                const qsizetype position = yd->find(xd->keyAt(i));
                if (position < 0)
                    return false;
                work.emplace_back(&xd->values[i], &yd->values[size_t(position)]);
            }
            break;
        }
        }
    }
    return true;
}

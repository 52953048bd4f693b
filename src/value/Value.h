#pragma once

#include "Decimal.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>

// The value tree: a dynamically typed tree of shared, reference-counted nodes.
//
// A Value is a small handle (one pointer) that shares its node; copying it is
// cheap and never copies the tree. Containers have reference semantics: a
// member added through one handle is seen through every handle of that node.
//
// A default-constructed Value holds no value. Every accessor on it (and every
// accessor that does not fit the kind) yields no value, 0, false or a null
// string, and every mutator on a node of the wrong kind does nothing.
//
// Dictionaries keep their members in insertion order and find a key in O(1)
// on average once they are larger than a handful of members; small ones are a
// flat list. Reference counts are not atomic: a tree belongs to one thread.
class Value {
public:
    enum class Kind : uint8_t {
        None,       // no value
        Dictionary, // string keys, insertion order
        Array,      // ordered
        String,     // UTF-16 code units
        Integer,    // int32
        Decimal,    // exact decimal, see Decimal
        Boolean,    // never a number
        Null,       // one shared node
        Opaque,     // leaves nothing reads (dates, data, reals of the album file)
    };

    Value() noexcept = default;
    Value(const Value &other) noexcept;
    Value(Value &&other) noexcept : m_node(other.m_node) { other.m_node = nullptr; }
    Value &operator=(const Value &other) noexcept;
    Value &operator=(Value &&other) noexcept;
    ~Value();

    static Value dictionary(qsizetype reserve = 0);
    // A dictionary of keys[i] -> values[i], taking over the values (they are
    // left without value). The key list is shared, not copied: dictionaries
    // made from one list (records with the same keys) hold their keys once. A
    // repeated key keeps its first place and its last value, as with insert.
    static Value dictionary(const QStringList &keys, std::span<Value> values);
    static Value array(qsizetype reserve = 0);
    static Value string(const QString &text);
    // The same string made straight from Latin-1 text (ASCII, say), without a
    // QString in between; a null QLatin1String gives a null string.
    static Value string(QLatin1String text);
    static Value integer(int32_t number);
    static Value decimal(const Decimal &number);
    static Value boolean(bool flag);
    static Value null();
    // An opaque leaf; the text is kept only for diagnostics.
    static Value opaque(const QString &text = QString());

    Kind kind() const;
    bool isNone() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool isDictionary() const { return kind() == Kind::Dictionary; }
    bool isArray() const { return kind() == Kind::Array; }
    bool isString() const { return kind() == Kind::String; }
    bool isInteger() const { return kind() == Kind::Integer; }
    bool isDecimal() const { return kind() == Kind::Decimal; }
    bool isNumber() const { return isInteger() || isDecimal(); }
    bool isBoolean() const { return kind() == Kind::Boolean; }
    bool isNull() const { return kind() == Kind::Null; }
    bool isOpaque() const { return kind() == Kind::Opaque; }

    // Scalars. toString gives a null QString unless this is a string;
    // toInt gives the integer (0 for other kinds); toDecimal gives the number
    // of an integer or decimal (0 otherwise); toBool gives a boolean's flag.
    QString toString() const;
    int32_t toInt() const;
    Decimal toDecimal() const;
    bool toBool() const;
    QString opaqueText() const;

    // Containers: number of members or elements, 0 for every other kind.
    qsizetype count() const;

    // Arrays.
    Value at(qsizetype index) const; // no value when out of range
    void append(const Value &element);
    void append(Value &&element); // the same, taking over the handle
    void reserve(qsizetype capacity); // arrays and dictionaries

    // Dictionaries. Keys are compared by their code units.
    Value value(const QString &key) const; // no value when absent
    bool contains(const QString &key) const;
    // Adds the member at the end, or replaces the value of an equal key in place.
    void insert(const QString &key, const Value &value);
    void insert(const QString &key, Value &&value); // the same, taking over the handle
    QString keyAt(qsizetype index) const;  // members in insertion order
    Value valueAt(qsizetype index) const;

    // Deep equality: same kinds and contents; numbers compare by value, so the
    // integer 30 equals the decimal 30. Dictionaries compare as sets of
    // members, whatever their order. Two "no value"s are equal.
    friend bool operator==(const Value &a, const Value &b);

    // True when both handles share one node (or both hold no value).
    bool isSameNode(const Value &other) const { return m_node == other.m_node; }

    struct Node;

private:
    explicit Value(Node *node) noexcept : m_node(node) {}
    static void retain(Node *node);
    static void release(Node *node);

    Node *m_node = nullptr;
};

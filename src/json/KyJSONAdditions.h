#pragma once

#include "Value.h"

#include <QString>
#include <QStringView>

#include <cstdint>

// JSON text for the value tree: an indented writer for dictionaries and a
// lenient reader for text whose top level is an object.
namespace KyJSONAdditions {

// The dictionary's JSON text: every member on a line of its own, nested
// dictionaries indented by one tab per level, arrays on one line. Members are
// written in the dictionary's insertion order. There is no line feed at the
// end of the text.
QString jsonStringValue(const Value &dictionary);

// The dictionary denoted by the text's top-level object, or no value. The
// text must begin, after optional whitespace, with "{"; anything after that
// object's closing "}" is not looked at. Numbers come back as decimals.
Value dictionaryWithJSONString(const QString &text);

} // namespace KyJSONAdditions

namespace PrivateKyJSONAdditions {

// The JSON tokens, shared by the writer and the reader.
inline constexpr QStringView jsonObjectStartString = u"{";
inline constexpr QStringView jsonObjectEndString = u"}";
inline constexpr QStringView jsonArrayStartString = u"[";
inline constexpr QStringView jsonArrayEndString = u"]";
inline constexpr QStringView jsonKeyValueSeparatorString = u":";
inline constexpr QStringView jsonValueSeparatorString = u",";
inline constexpr QStringView jsonStringDelimiterString = u"\"";
inline constexpr QStringView jsonTrueString = u"true";
inline constexpr QStringView jsonFalseString = u"false";
inline constexpr QStringView jsonNullString = u"null";
// The writer's own: one tab per indent level, and the level at which it adds
// neither line feeds nor tabs.
inline constexpr QStringView jsonIndentString = u"\t";
inline constexpr int32_t jsonDoNotIndent = -1;

// The dictionary's text with its members indented for the given level.
QString jsonStringValueWithIndentLevel(const Value &dictionary, int32_t level);
// Any value's text; the level is that of the dictionary or array holding it.
QString jsonStringForValue(const Value &value, int32_t level);
// An array's text on one line; the level is that of the dictionary holding it.
QString jsonStringForArray(const Value &array, int32_t level);
// The quoted string with its seven two-character escapes.
QString jsonStringForString(const QString &string);
// What starts a member line at the level: nothing at jsonDoNotIndent, else a
// line feed and one tab per level.
QString jsonIndentStringForLevel(int32_t level);

} // namespace PrivateKyJSONAdditions

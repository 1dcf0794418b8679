#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QString>

#include <optional>

// JSON on bytes, with what the export writes and the import takes: an object
// holding `days`, an array, and `lists`, which may be left out.
namespace keeping {

// Appends UTF-8 text as a JSON string, with the escapes the export writes.
void appendJsonString(QByteArray &out, const QByteArray &utf8);

struct JsonFile
{
    QJsonArray days;
    std::optional<QJsonValue> lists; // when the file has it, whatever it holds
    QString error;                   // the whole file is refused, in the user's words
    bool ok() const { return error.isEmpty(); }
};

// Reads the file's object. Not JSON, no `days` array or anything beside
// `days` and `lists` refuses it. A byte order mark at the start goes, and a
// U+FEFF written as its bytes inside a string is kept.
JsonFile readJsonFile(const QByteArray &bytes);

// A value as a column takes it.
struct JsonScalar
{
    enum class Kind { Null, Text, Whole, Other };
    Kind kind = Kind::Other; // Other: true, false, an array, an object, a number not whole
    QString text;            // Text
    qint64 whole = 0;        // Whole
};

// A number is Whole only where a 64-bit integer holds it exactly, well
// inside what a double keeps whole: 1e300 would not survive the conversion.
JsonScalar readJsonScalar(const QJsonValue &value);

} // namespace keeping

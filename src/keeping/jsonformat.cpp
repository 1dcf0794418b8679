#include "keeping/jsonformat.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}
} // namespace

void appendJsonString(QByteArray &out, const QByteArray &utf8)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

JsonFile readJsonFile(const QByteArray &input)
{
    JsonFile out;
    // The JSON reader drops a U+FEFF written as its bytes at the start of a
    // string; outside strings those bytes are an error all the same, so they
    // can be written as the escape the reader keeps. A byte order mark at the
    // very start of the file is one, and goes.
    QByteArray bytes = input.startsWith("\xEF\xBB\xBF") ? input.mid(3) : input;
    bytes.replace("\xEF\xBB\xBF", "\\ufeff");
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        out.error = tr("The file is not JSON the export writes (%1 at byte %2). Nothing was read.")
                        .arg(error.errorString())
                        .arg(error.offset);
        return out;
    }
    if (!doc.isObject() || !doc.object().value(QLatin1String("days")).isArray()) {
        out.error = tr("The file holds no \"days\" array. Nothing was read.");
        return out;
    }
    const QJsonObject root = doc.object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (it.key() != QLatin1String("days") && it.key() != QLatin1String("lists")) {
            out.error =
                tr("The file holds \"%1\", which is neither days nor lists. Nothing was read.").arg(it.key().left(60));
            return out;
        }
    }
    out.days = root.value(QLatin1String("days")).toArray();
    if (root.contains(QLatin1String("lists")))
        out.lists = root.value(QLatin1String("lists"));
    return out;
}

JsonScalar readJsonScalar(const QJsonValue &v)
{
    JsonScalar out;
    const double number = v.isDouble() ? v.toDouble() : 0.0;
    if (v.isNull()) {
        out.kind = JsonScalar::Kind::Null;
    } else if (v.isString()) {
        out.kind = JsonScalar::Kind::Text;
        out.text = v.toString();
    } else if (v.isDouble() && number >= -9.0e15 && number <= 9.0e15 && number == double(qint64(number))) {
        out.kind = JsonScalar::Kind::Whole;
        out.whole = qint64(number);
    }
    return out;
}

} // namespace keeping

#include "analysis/diaryread.h"

#include "data/diaryconnection.h"
#include "data/diarynames.h"
#include "data/sqlitefile.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>

namespace analysis {

namespace {

// The distinct texts of one column as read, each converted once. It stops
// growing at a bound, so a column of ever-new texts costs no more than
// converting each.
class TextPool
{
public:
    QString text(QByteArrayView utf8)
    {
        const std::string_view key(utf8.data(), size_t(utf8.size()));
        if (const auto it = m_texts.find(key); it != m_texts.end())
            return it->second;
        QString text = QString::fromUtf8(utf8);
        if (m_texts.size() < kMaxTexts && key.size() <= kMaxPooledBytes)
            m_texts.emplace(std::string(key), text);
        return text;
    }

private:
    static constexpr size_t kMaxTexts = 1 << 16;
    // Meals that repeat are short; a long text is kept once, in its row.
    static constexpr size_t kMaxPooledBytes = 512;
    struct Hash
    {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, QString, Hash, std::equal_to<>> m_texts;
};

} // namespace

QString daysSelect()
{
    // The fixed columns, ID, DATE, OVERALL SCORE, BMs, then itemFields() in order.
    QString sql = QStringLiteral("SELECT ID, DATE, [OVERALL SCORE], BMs");
    for (const QString &f : itemFields())
        sql += QStringLiteral(", ") + f;
    return sql + QStringLiteral(" FROM records");
}

DiaryContents readDiaryContents(const QString &path)
{
    DiaryContents result;
    QString error;
    std::unique_ptr<diary::Connection> connection = diary::Connection::open(path, &error);
    if (!connection) {
        result.error = error;
        return result;
    }
    const auto failed = [&](const QSqlQuery &q) {
        return QCoreApplication::translate("analysis", "The diary %1 could not be read: %2. %3")
            .arg(path, q.lastError().databaseText(), diary::setupAdvice());
    };
    {
        // Through SQLite's own interface on the same connection: the item
        // fields are read as their UTF-8 bytes, and a text met before in its
        // column is shared rather than converted again, since a diary repeats
        // its meals day after day.
        diary::Statement st(connection->handle(), daysSelect());
        const auto readFailed = [&](const QString &why) {
            return QCoreApplication::translate("analysis", "The diary %1 could not be read: %2. %3")
                .arg(path, why, diary::setupAdvice());
        };
        if (!st.ok()) {
            result.error = readFailed(st.error());
            return result;
        }
        std::array<TextPool, kItemFieldCount> pools;
        while (st.step()) {
            DiaryDay d;
            d.id = st.isInteger(0) ? st.integer(0) : -1;
            d.date = st.value(1);
            d.score = st.value(2);
            d.bms = st.value(3);
            for (int f = 0; f < kItemFieldCount; ++f) {
                const int column = 4 + f;
                if (st.isNull(column))
                    continue;
                const QByteArrayView text = st.textView(column);
                if (!text.isNull())
                    d.fields[size_t(f)] = pools[size_t(f)].text(text);
                else
                    d.fields[size_t(f)] = st.value(column).toString();
            }
            result.rows.push_back(std::move(d));
        }
        if (!st.error().isEmpty()) {
            result.error = readFailed(st.error());
            return result;
        }
    }
    {
        QSqlQuery q(connection->database());
        q.setForwardOnly(true);
        if (!q.exec(diary::foodRecordSource())) {
            result.error = failed(q);
            return result;
        }
        if (q.next()) {
            result.lists.adequateFood = q.value(0).toString();
            result.lists.irritableFood = q.value(1).toString();
            result.lists.reliableMedication = q.value(2).toString();
            result.lists.unsatisfactoryMedication = q.value(3).toString();
        }
    }
    return result;
}

} // namespace analysis

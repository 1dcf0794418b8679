#pragma once

#include <QSet>
#include <QString>

#include <vector>

namespace diary {

// Equal texts of a column share one copy. A diary repeats itself (scores,
// drinks, medications, meals), so decades of days stay small in memory and
// comparing equal texts is cheap.
class TextPool
{
public:
    explicit TextPool(int columns)
        : m_columns(static_cast<size_t>(columns > 0 ? columns : 0))
    {}

    // The copy already held for an equal text of `column`, or `text` itself.
    QString shared(int column, const QString &text)
    {
        if (text.isEmpty() || column < 0 || size_t(column) >= m_columns.size())
            return text;
        QSet<QString> &seen = m_columns[size_t(column)];
        const auto it = seen.constFind(text);
        if (it != seen.cend())
            return *it;
        seen.insert(text);
        return text;
    }

private:
    std::vector<QSet<QString>> m_columns;
};

} // namespace diary

#include "keeping/csvformat.h"

#include "keeping/utf8check.h"

#include <QCoreApplication>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

} // namespace

CsvRows readCsvRows(const QByteArray &input)
{
    CsvRows out;
    auto refuse = [&out](int line, const QString &why) {
        out.rows.clear();
        out.errorLine = line;
        out.error = why;
        return out;
    };
    QByteArray bytes = input;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (bytes.trimmed().isEmpty())
        return refuse(0, tr("The file is empty; it has no header row."));
    // Whole-file checks first: a NUL byte or text that is not UTF-8 means
    // this is not the CSV the export writes.
    {
        const qsizetype nul = bytes.indexOf('\0');
        if (nul >= 0) {
            const int line = int(bytes.left(nul).count('\n') + 1);
            return refuse(line, tr("Line %1 holds a NUL byte; this is not a text file. Nothing was read.").arg(line));
        }
        qsizetype bad = 0;
        if (!isValidUtf8(bytes, &bad)) {
            const int line = int(bytes.left(bad).count('\n') + 1);
            return refuse(line, tr("Line %1 is not UTF-8 text. Save the file as UTF-8 and try again.").arg(line));
        }
    }

    const qsizetype n = bytes.size();
    qsizetype i = 0;
    int line = 1;
    while (i < n) {
        CsvRow row{line, {}};
        QByteArray field;
        bool endOfRow = false;
        while (!endOfRow) {
            field.clear();
            if (i < n && bytes[i] == '"') {
                const int opened = line;
                ++i;
                bool closed = false;
                while (i < n) {
                    const char c = bytes[i];
                    if (c == '"') {
                        if (i + 1 < n && bytes[i + 1] == '"') {
                            field += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (c == '\n')
                        ++line;
                    field += c;
                    ++i;
                }
                if (!closed)
                    return refuse(opened,
                                  tr("The quote opened on line %1 is never closed. Nothing was read.").arg(opened));
                if (i < n && bytes[i] != ',' && bytes[i] != '\r' && bytes[i] != '\n')
                    return refuse(line, tr("Line %1: a closing quote is followed by text; a field with a quote must "
                                           "be quoted whole, its quotes doubled. Nothing was read.")
                                            .arg(line));
            } else {
                while (i < n && bytes[i] != ',' && bytes[i] != '\r' && bytes[i] != '\n') {
                    if (bytes[i] == '"')
                        return refuse(line, tr("Line %1: a quote inside a field that does not start with one. "
                                               "Nothing was read.")
                                                .arg(line));
                    field += bytes[i++];
                }
            }
            row.fields << field;
            if (i >= n) {
                endOfRow = true;
            } else if (bytes[i] == ',') {
                ++i;
            } else {
                if (bytes[i] == '\r')
                    ++i;
                if (i < n && bytes[i] == '\n')
                    ++i;
                ++line;
                endOfRow = true;
            }
        }
        out.rows << row;
    }
    return out;
}

} // namespace keeping

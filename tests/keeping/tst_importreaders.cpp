// The readers under the import, fed bytes directly: how a CSV file splits
// into rows of fields, what a JSON file's values are taken as, and which
// bytes are UTF-8. Each expected value is worked out by hand from the bytes.
#include "keeping/csvformat.h"
#include "keeping/jsonformat.h"
#include "keeping/utf8check.h"

#include <QJsonObject>
#include <QtTest>

using Rows = QList<QByteArrayList>;
using Kind = keeping::JsonScalar::Kind;

class tst_ImportReaders : public QObject
{
    Q_OBJECT
private slots:
    void csv_rowsAndFields_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QList<int>>("lines");
        QTest::newRow("CRLF, LF, no last break")
            << QByteArray("a,b\r\nc,d\ne,f") << Rows{{"a", "b"}, {"c", "d"}, {"e", "f"}} << QList<int>{1, 2, 3};
        QTest::newRow("quoted comma") << QByteArray("\"a,b\",c\r\n") << Rows{{"a,b", "c"}} << QList<int>{1};
        QTest::newRow("doubled quotes") << QByteArray("\"say \"\"hi\"\"\",\"\"\"\"\r\n") << Rows{{"say \"hi\"", "\""}}
                                        << QList<int>{1};
        QTest::newRow("CRLF in quotes") << QByteArray("\"a\r\nb\",c\r\nd\r\n") << Rows{{"a\r\nb", "c"}, {"d"}}
                                        << QList<int>{1, 3};
        QTest::newRow("LF in quotes") << QByteArray("\"a\nb\",c\nd") << Rows{{"a\nb", "c"}, {"d"}} << QList<int>{1, 3};
        // Lines are counted by LF, as the refusals count them.
        QTest::newRow("lone CR in quotes and out")
            << QByteArray("\"a\rb\",c\rd") << Rows{{"a\rb", "c"}, {"d"}} << QList<int>{1, 2};
        QTest::newRow("BOM at the start goes") << QByteArray("\xEF\xBB\xBF"
                                                             "a,b\r\n")
                                               << Rows{{"a", "b"}} << QList<int>{1};
        QTest::newRow("BOM inside a field stays") << QByteArray("a,\xEF\xBB\xBF"
                                                                "b\r\n")
                                                  << Rows{{"a", "\xEF\xBB\xBF"
                                                                "b"}}
                                                  << QList<int>{1};
        QTest::newRow("ragged rows") << QByteArray("a,b,c\r\nd\r\ne,f\r\n") << Rows{{"a", "b", "c"}, {"d"}, {"e", "f"}}
                                     << QList<int>{1, 2, 3};
        QTest::newRow("empty trailing field")
            << QByteArray("a,\r\nb,") << Rows{{"a", ""}, {"b", ""}} << QList<int>{1, 2};
        QTest::newRow("blank line") << QByteArray("a\r\n\r\nb\r\n") << Rows{{"a"}, {""}, {"b"}} << QList<int>{1, 2, 3};
        QTest::newRow("empty quoted field") << QByteArray("\"\",x\r\n") << Rows{{"", "x"}} << QList<int>{1};
    }
    void csv_rowsAndFields()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Rows, rows);
        QFETCH(QList<int>, lines);
        const keeping::CsvRows read = keeping::readCsvRows(bytes);
        QVERIFY2(read.ok(), qPrintable(read.error));
        Rows gotRows;
        QList<int> gotLines;
        for (const keeping::CsvRow &row : read.rows) {
            gotRows << row.fields;
            gotLines << row.line;
        }
        QCOMPARE(gotRows, rows);
        QCOMPARE(gotLines, lines);
    }

    void csv_refusesTheWholeFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("error");
        QTest::newRow("blanks after a BOM")
            << QByteArray("\xEF\xBB\xBF \r\n") << 0 << QStringLiteral("The file is empty; it has no header row.");
        QTest::newRow("unterminated quote")
            << QByteArray("a\r\n\"b,\r\nc\r\n") << 2
            << QStringLiteral("The quote opened on line 2 is never closed. Nothing was read.");
        QTest::newRow("text after a closing quote")
            << QByteArray("a\n\"b\nc\"d\n") << 3
            << QStringLiteral("Line 3: a closing quote is followed by text; a field with a quote must be quoted whole, "
                              "its quotes doubled. Nothing was read.");
        QTest::newRow("quote inside a field")
            << QByteArray("a,b\r\nc\"d\r\n") << 2
            << QStringLiteral("Line 2: a quote inside a field that does not start with one. Nothing was read.");
        QTest::newRow("NUL") << QByteArray("a\r\nb\0c", 6) << 2
                             << QStringLiteral("Line 2 holds a NUL byte; this is not a text file. Nothing was read.");
        QTest::newRow("not UTF-8") << QByteArray("a\nb\nc\xE9\n") << 3
                                   << QStringLiteral("Line 3 is not UTF-8 text. Save the file as UTF-8 and try again.");
    }
    void csv_refusesTheWholeFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        QFETCH(QString, error);
        const keeping::CsvRows read = keeping::readCsvRows(bytes);
        QCOMPARE(read.error, error);
        QCOMPARE(read.errorLine, line);
        QVERIFY(read.rows.isEmpty());
    }

    // `error` is how the refusal starts: after "not JSON" come the parser's own words.
    void json_fileShape_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("lists");
        const QString notJson = QStringLiteral("The file is not JSON the export writes (");
        const QString noDays = QStringLiteral("The file holds no \"days\" array. Nothing was read.");
        QTest::newRow("days and lists") << QByteArray("{\"days\": [{}, {}], \"lists\": {}}") << QString() << 2 << true;
        QTest::newRow("no lists") << QByteArray("{\"days\": []}") << QString() << 0 << false;
        QTest::newRow("null lists left to the plan")
            << QByteArray("{\"days\": [], \"lists\": null}") << QString() << 0 << true;
        QTest::newRow("BOM at the start goes") << QByteArray("\xEF\xBB\xBF{\"days\": [1]}") << QString() << 1 << false;
        QTest::newRow("BOM outside a string") << QByteArray("{\"days\": \xEF\xBB\xBF[]}") << notJson << 0 << false;
        QTest::newRow("truncated") << QByteArray("{\"days\": [{\"DATE\": \"2026-01-") << notJson << 0 << false;
        QTest::newRow("empty") << QByteArray() << notJson << 0 << false;
        QTest::newRow("top level array") << QByteArray("[{\"days\": []}]") << noDays << 0 << false;
        QTest::newRow("days not an array") << QByteArray("{\"days\": {}}") << noDays << 0 << false;
        QTest::newRow("another key")
            << QByteArray("{\"days\": [], \"notes\": 1}")
            << QStringLiteral("The file holds \"notes\", which is neither days nor lists. Nothing was read.") << 0
            << false;
    }
    void json_fileShape()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QFETCH(int, days);
        QFETCH(bool, lists);
        const keeping::JsonFile read = keeping::readJsonFile(bytes);
        QVERIFY2(error.isEmpty() ? read.ok() : read.error.startsWith(error), qPrintable(read.error));
        QCOMPARE(read.days.size(), days);
        QCOMPARE(read.lists.has_value(), lists);
    }

    // A value as a day's column gets it, from {"days": [{"X": value}]}.
    void json_values_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("whole");
        QTest::newRow("null") << QByteArray("null") << int(Kind::Null) << QString() << qint64(0);
        QTest::newRow("escapes") << QByteArray("\"say \\\"hi\\\",\\n\\t\\\\ \\u00e9\"") << int(Kind::Text)
                                 << QStringLiteral("say \"hi\",\n\t\\ \u00e9") << qint64(0);
        QTest::newRow("escaped NUL kept")
            << QByteArray("\"a\\u0000b\"") << int(Kind::Text) << QString(QLatin1String("a\0b", 3)) << qint64(0);
        QTest::newRow("U+FEFF bytes starting a string")
            << QByteArray("\"\xEF\xBB\xBFtea\"") << int(Kind::Text) << QStringLiteral("\uFEFFtea") << qint64(0);
        QTest::newRow("whole") << QByteArray("7") << int(Kind::Whole) << QString() << qint64(7);
        QTest::newRow("negative") << QByteArray("-3") << int(Kind::Whole) << QString() << qint64(-3);
        QTest::newRow("whole written with a point") << QByteArray("3.0") << int(Kind::Whole) << QString() << qint64(3);
        QTest::newRow("fraction") << QByteArray("2.5") << int(Kind::Other) << QString() << qint64(0);
        QTest::newRow("negative fraction") << QByteArray("-0.5") << int(Kind::Other) << QString() << qint64(0);
        QTest::newRow("huge") << QByteArray("1e300") << int(Kind::Other) << QString() << qint64(0);
        QTest::newRow("huge negative") << QByteArray("-1e300") << int(Kind::Other) << QString() << qint64(0);
        QTest::newRow("largest taken") << QByteArray("9000000000000000") << int(Kind::Whole) << QString()
                                       << qint64(9000000000000000);
        QTest::newRow("one past it") << QByteArray("9000000000000001") << int(Kind::Other) << QString() << qint64(0);
        QTest::newRow("true") << QByteArray("true") << int(Kind::Other) << QString() << qint64(0);
        QTest::newRow("nested array") << QByteArray("[1]") << int(Kind::Other) << QString() << qint64(0);
        QTest::newRow("nested object") << QByteArray("{\"a\": 1}") << int(Kind::Other) << QString() << qint64(0);
    }
    void json_values()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(qint64, whole);
        const keeping::JsonFile read = keeping::readJsonFile("{\"days\": [{\"X\": " + value + "}]}");
        QVERIFY2(read.ok(), qPrintable(read.error));
        const keeping::JsonScalar got = keeping::readJsonScalar(read.days.at(0).toObject().value(QLatin1String("X")));
        QCOMPARE(int(got.kind), kind);
        QCOMPARE(got.text, text);
        QCOMPARE(got.whole, whole);
    }

    void utf8_strict_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("badAt"); // -1: valid
        QTest::newRow("ASCII") << QByteArray("abc") << -1;
        QTest::newRow("two, three and four bytes") << QByteArray("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8D\xAE") << -1;
        QTest::newRow("U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << -1;
        QTest::newRow("Latin-1") << QByteArray("caf\xE9") << 3;
        QTest::newRow("overlong two") << QByteArray("\xC0\xAF") << 0;
        QTest::newRow("overlong three") << QByteArray("x\xE0\x80\xAF") << 1;
        QTest::newRow("overlong four") << QByteArray("\xF0\x8F\xBF\xBF") << 0;
        QTest::newRow("surrogate") << QByteArray("ab\xED\xA0\x80") << 2;
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << 0;
        QTest::newRow("cut short") << QByteArray("ab\xE2\x82") << 2;
        QTest::newRow("bad continuation") << QByteArray("\xE2\x28\xA1") << 0;
    }
    void utf8_strict()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, badAt);
        qsizetype at = -1;
        QCOMPARE(keeping::isValidUtf8(bytes, &at), badAt < 0);
        QCOMPARE(at, qsizetype(badAt));
    }
};

QTEST_MAIN(tst_ImportReaders)
#include "tst_importreaders.moc"

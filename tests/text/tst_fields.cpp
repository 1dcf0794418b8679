// The one field encoder: what reaches a TSV or CSV file or the clipboard.
#include "text/fields.h"

#include <QTest>

using text::Separator;

class tst_fields : public QObject
{
    Q_OBJECT
private slots:
    void fields_data();
    void fields();
};

void tst_fields::fields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("quotedTsv");
    QTest::addColumn<QString>("quotedCsv");
    QTest::addColumn<QString>("lineTsv");
    QTest::addColumn<QString>("lineCsv");
    const QString nul = QStringLiteral("A") + QChar(0) + QStringLiteral("B");
    QTest::newRow("plain") << "RYE BREAD"
                           << "RYE BREAD"
                           << "RYE BREAD"
                           << "RYE BREAD"
                           << "RYE BREAD";
    QTest::newRow("comma") << "TEA, BLACK"
                           << "TEA, BLACK"
                           << "\"TEA, BLACK\""
                           << "TEA, BLACK"
                           << "\"TEA, BLACK\"";
    QTest::newRow("quote") << "said \"fine\""
                           << "\"said \"\"fine\"\"\""
                           << "\"said \"\"fine\"\"\""
                           << "said \"fine\""
                           << "\"said \"\"fine\"\"\"";
    QTest::newRow("tab") << "A\tB"
                         << "\"A\tB\""
                         << "A\tB"
                         << "A B"
                         << "A B";
    QTest::newRow("lone CR") << "A\rB"
                             << "\"A\rB\""
                             << "\"A\rB\""
                             << "A B"
                             << "A B";
    QTest::newRow("two lines") << "A\r\nB"
                               << "\"A\r\nB\""
                               << "\"A\r\nB\""
                               << "A  B"
                               << "A  B";
    QTest::newRow("nul") << nul << nul << nul << QStringLiteral("A\uFFFDB") << QStringLiteral("A\uFFFDB");
    QTest::newRow("escape and delete") << QStringLiteral("\x1b[31mX\x7f") << QStringLiteral("\x1b[31mX\x7f")
                                       << QStringLiteral("\x1b[31mX\x7f") << QStringLiteral("\uFFFD[31mX\uFFFD")
                                       << QStringLiteral("\uFFFD[31mX\uFFFD");
    QTest::newRow("beyond ASCII, with a comma")
        << QStringLiteral("CRÈME, BRÛLÉE") << QStringLiteral("CRÈME, BRÛLÉE") << QStringLiteral("\"CRÈME, BRÛLÉE\"")
        << QStringLiteral("CRÈME, BRÛLÉE") << QStringLiteral("\"CRÈME, BRÛLÉE\"");
}

void tst_fields::fields()
{
    QFETCH(QString, field);
    QFETCH(QString, quotedTsv);
    QFETCH(QString, quotedCsv);
    QFETCH(QString, lineTsv);
    QFETCH(QString, lineCsv);
    QCOMPARE(text::quotedField(field, Separator::Tab), quotedTsv);
    QCOMPARE(text::quotedField(field, Separator::Comma), quotedCsv);
    QCOMPARE(text::lineField(field, Separator::Tab), lineTsv);
    QCOMPARE(text::lineField(field, Separator::Comma), lineCsv);
    // The bytes a file gets are the same text.
    for (const Separator s : {Separator::Tab, Separator::Comma}) {
        QByteArray out("x");
        text::appendQuotedField(out, field.toUtf8(), s);
        QCOMPARE(QString::fromUtf8(out), QStringLiteral("x") + text::quotedField(field, s));
    }
}

QTEST_GUILESS_MAIN(tst_fields)
#include "tst_fields.moc"

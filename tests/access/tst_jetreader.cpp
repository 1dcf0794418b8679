// Reading the Access test files; every expected value is what the file's own
// tables hold, written out here.
#include "access/jetreader.h"
#include "jetfixtures.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cmath>
#include <limits>

using jet::ColumnType;

namespace {

QDateTime utc(int y, int m, int d, int h = 0, int min = 0, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s), QTimeZone::utc());
}

// Writes `bytes` to a new file in `dir`.
QString writeFile(const QTemporaryDir &dir, const QByteArray &bytes)
{
    const QString p = dir.filePath(QStringLiteral("case.mdb"));
    QFile f(p);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
    return p;
}

QByteArray fixtureBytes(const char *name)
{
    QFile f(jetfixtures::path(name));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class TestJetReader : public QObject
{
    Q_OBJECT
private slots:
    void values_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("expected");
        const QVariant null;
        QTest::newRow("jet3 long") << "nwind.mdb"
                                   << "Orders" << 0 << "OrderID" << QVariant(qint64(10330));
        QTest::newRow("jet3 code page text")
            << "nwind.mdb"
            << "Orders" << 0 << "ShipAddress"
            << QVariant(QStringLiteral("Carrera 52 con Ave. Bol\u00edvar #65-98 Llano Largo"));
        QTest::newRow("jet3 accents") << "nwind.mdb"
                                      << "Orders" << 2 << "ShipName" << QVariant(QStringLiteral("M\u00e8re Paillarde"));
        QTest::newRow("jet3 datetime") << "nwind.mdb"
                                       << "Orders" << 0 << "OrderDate" << QVariant(utc(1994, 11, 16));
        QTest::newRow("jet3 null text") << "nwind.mdb"
                                        << "Orders" << 1 << "ShipRegion" << null;
        QTest::newRow("jet3 currency as text") << "nwind.mdb"
                                               << "Orders" << 1 << "Freight" << QVariant(QStringLiteral("10.1900"));
        QTest::newRow("jet3 line break in text")
            << "nwind.mdb"
            << "Employees" << 0 << "Address" << QVariant(QStringLiteral("507 - 20th Ave. E.\r\nApt. 2A"));
        QTest::newRow("jet3 single") << "nwind.mdb"
                                     << "Order Details" << 6 << "Discount" << QVariant(0.15f);
        QTest::newRow("jet3 integer") << "nwind.mdb"
                                      << "Order Details" << 6 << "Quantity" << QVariant(qint64(35));
        QTest::newRow("jet3 null long") << "nwind.mdb"
                                        << "Employees" << 1 << "ReportsTo" << null;
        QTest::newRow("jet3 memo") << "nwind.mdb"
                                   << "Employees" << 0 << "Notes"
                                   << QVariant(
                                          QStringLiteral("Education includes a BA in psychology from Colorado State "
                                                         "University in 1970.  She also completed \"The Art of the "
                                                         "Cold Call.\"  Nancy is a member of Toastmasters "
                                                         "International."));
        QTest::newRow("jet3 non-ascii table") << "nwind.mdb" << QStringLiteral("Ums\u00e4tze") << 0 << "ShipCity"
                                              << QVariant(QStringLiteral("Barquisimeto"));
        QTest::newRow("jet4 year 9999") << "DateTestDatabase.mdb"
                                        << "DateTest" << 1 << "DateTimeCol" << QVariant(utc(9999, 1, 1));
        QTest::newRow("jet4 before 1900") << "DateTestDatabase.mdb"
                                          << "DateTest" << 2 << "DateTimeCol" << QVariant(utc(1898, 1, 1));
        QTest::newRow("jet4 before 1900 date") << "DateTestDatabase.mdb"
                                               << "DateTest" << 2 << "DateCol" << QVariant(utc(1899, 1, 1));
        QTest::newRow("jet4 before 1000") << "DateTestDatabase.mdb"
                                          << "DateTest" << 3 << "DateTimeCol" << QVariant(utc(632, 1, 1));
        QTest::newRow("jet4 memo names the year")
            << "DateTestDatabase.mdb"
            << "DateTest" << 3 << "LongTextCol" << QVariant(QStringLiteral("Pre-1000 years"));
        QTest::newRow("jet4 escaped break stays text")
            << "DateTestDatabase.mdb"
            << "DateTest" << 4 << "LongTextCol" << QVariant(QStringLiteral("Escaped new line \\r\\n in field"));
        QTest::newRow("jet4 real line break")
            << "DateTestDatabase.mdb"
            << "DateTest" << 5 << "LongTextCol" << QVariant(QStringLiteral("New line\r\nin field"));
        QTest::newRow("jet4 short text") << "DateTestDatabase.mdb"
                                         << "DateTest" << 1 << "ShortTextCol" << QVariant(QStringLiteral("Year 1999"));
        QTest::newRow("jet4 text") << "fruit.mdb"
                                   << "Fruit" << 0 << "Fruit" << QVariant(QStringLiteral("Apple"));
        QTest::newRow("jet4 long") << "fruit.mdb"
                                   << "Fruit" << 1 << "Vit A" << QVariant(qint64(420));
    }
    void values()
    {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(int, row);
        QFETCH(QString, column);
        QFETCH(QVariant, expected);
        jet::ReadOptions o;
        o.tables = {table.toLower()}; // names match ignoring case
        const jet::FileContents c = jet::readAccessFile(jetfixtures::path(file.toLatin1().constData()), o);
        QVERIFY2(c.ok(), qPrintable(c.error));
        const jet::Table *t = c.table(table);
        QVERIFY(t);
        const int col = t->columnIndex(column);
        QVERIFY(col >= 0);
        QVERIFY(row < t->rows.size());
        const QVariant got = t->rows[row][col];
        QCOMPARE(got.isValid(), expected.isValid());
        if (expected.isValid()) {
            QCOMPARE(got.typeId(), expected.typeId());
            QCOMPARE(got, expected);
        }
    }

    void columnsAndCounts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("type");
        QTest::newRow("text") << "nwind.mdb"
                              << "Employees" << 9 << "LastName" << int(ColumnType::Text);
        QTest::newRow("memo") << "nwind.mdb"
                              << "Employees" << 9 << "Notes" << int(ColumnType::Memo);
        QTest::newRow("long") << "nwind.mdb"
                              << "Employees" << 9 << "EmployeeID" << int(ColumnType::Long);
        QTest::newRow("datetime") << "nwind.mdb"
                                  << "Employees" << 9 << "HireDate" << int(ColumnType::DateTime);
        QTest::newRow("integer") << "nwind.mdb"
                                 << "Order Details" << -1 << "Quantity" << int(ColumnType::Integer);
        QTest::newRow("single") << "nwind.mdb"
                                << "Order Details" << -1 << "Discount" << int(ColumnType::Single);
        QTest::newRow("currency") << "nwind.mdb"
                                  << "Orders" << 830 << "Freight" << int(ColumnType::Currency);
        QTest::newRow("jet4 memo") << "DateTestDatabase.mdb"
                                   << "DateTest" << 6 << "LongTextCol" << int(ColumnType::Memo);
        QTest::newRow("jet4 datetime") << "DateTestDatabase.mdb"
                                       << "DateTest" << 6 << "TimeCol" << int(ColumnType::DateTime);
        QTest::newRow("jet4 text") << "fruit.mdb"
                                   << "Fruit" << 37 << "Fruit" << int(ColumnType::Text);
    }
    void columnsAndCounts()
    {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(int, rows);
        QFETCH(QString, column);
        QFETCH(int, type);
        jet::ReadOptions o;
        o.tables = {table};
        const jet::FileContents c = jet::readAccessFile(jetfixtures::path(file.toLatin1().constData()), o);
        QVERIFY2(c.ok(), qPrintable(c.error));
        const jet::Table *t = c.table(table);
        QVERIFY(t);
        if (rows >= 0)
            QCOMPARE(t->rows.size(), rows);
        QCOMPARE(int(t->columns.at(t->columnIndex(column)).type), type);
    }

    void tableList_namesEveryUserTable()
    {
        const jet::FileContents c = jet::readAccessFile(jetfixtures::path("nwind.mdb"));
        QVERIFY2(c.ok(), qPrintable(c.error));
        QCOMPARE(c.jetVersion, 0);
        QCOMPARE(c.textEncoding, QStringLiteral("CP1252"));
        QCOMPARE(
            c.tables,
            (QStringList{QStringLiteral("Order Details"), QStringLiteral("Orders"), QStringLiteral("Products"),
                         QStringLiteral("Shippers"), QStringLiteral("Categories"), QStringLiteral("Customers"),
                         QStringLiteral("Employees"), QStringLiteral("Suppliers"), QStringLiteral("Ums\u00e4tze")}));
        QVERIFY(c.read.isEmpty());
        const jet::FileContents f = jet::readAccessFile(jetfixtures::path("fruit.mdb"));
        QCOMPARE(f.jetVersion, 1);
        QCOMPARE(f.tables,
                 (QStringList{QStringLiteral("Fruit"), QStringLiteral("Fruit Salad"), QStringLiteral("Veggie Salad"),
                              QStringLiteral("Muffin/Bread"), QStringLiteral("Dried")}));
    }

    void missingTable_isNotReadAndNotAnError()
    {
        jet::ReadOptions o;
        o.tables = {QStringLiteral("records")};
        const jet::FileContents c = jet::readAccessFile(jetfixtures::path("nwind.mdb"), o);
        QVERIFY2(c.ok(), qPrintable(c.error));
        QVERIFY(!c.table(QStringLiteral("records")));
    }

    void jet3CodePage_canBeChosen()
    {
        // 0xED is i-acute in CP1252 and a Cyrillic en in CP1251.
        jet::ReadOptions o;
        o.tables = {QStringLiteral("Orders")};
        o.jet3Encoding = "CP1251";
        const jet::FileContents c = jet::readAccessFile(jetfixtures::path("nwind.mdb"), o);
        QVERIFY2(c.ok(), qPrintable(c.error));
        QCOMPARE(c.textEncoding, QStringLiteral("CP1251"));
        const jet::Table *t = c.table(QStringLiteral("Orders"));
        QCOMPARE(t->rows[0][t->columnIndex(QStringLiteral("ShipAddress"))].toString(),
                 QStringLiteral("Carrera 52 con Ave. Bol\u043dvar #65-98 Llano Largo"));
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("says");
        const QByteArray nwind = fixtureBytes("nwind.mdb");
        QTest::newRow("empty") << QByteArray() << "is not an Access database";
        QTest::newRow("text") << QByteArray("DATE,BMs\r\n01/02/03,1\r\n") << "is not an Access database";
        QByteArray sqlite("SQLite format 3");
        sqlite.append(char(0));
        sqlite.append(4096, 'x');
        QTest::newRow("sqlite") << sqlite << "is not an Access database";
        QTest::newRow("cut mid page") << nwind.left(100000) << "truncated or damaged";
        QTest::newRow("header only") << nwind.left(2048) << "truncated or damaged";
        QTest::newRow("cut at a page") << nwind.left(2048 * 8) << "is damaged";
        QByteArray future = nwind;
        future[0x14] = char(0x20);
        QTest::newRow("unknown version") << future << "version that cannot be read";
        // The header is stored RC4-encrypted: changing a stored byte changes
        // the decrypted one, which is all it takes to set these fields.
        QByteArray password = nwind;
        password[0x42] = char(password[0x42] ^ 0x5a);
        QTest::newRow("password") << password << "protected by a password";
        QByteArray fruitPassword = fixtureBytes("fruit.mdb");
        fruitPassword[0x42 + 6] = char(fruitPassword[0x42 + 6] ^ 0x41);
        QTest::newRow("jet4 password") << fruitPassword << "protected by a password";
        QByteArray encrypted = nwind;
        encrypted[0x3e] = char(encrypted[0x3e] ^ 0x01);
        QTest::newRow("encrypted") << encrypted << "encrypted Access database";
    }
    void failures()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString p = writeFile(dir, bytes);
        jet::ReadOptions o;
        o.tables = {QStringLiteral("Orders")};
        const jet::FileContents c = jet::readAccessFile(p, o);
        QVERIFY(!c.ok());
        QVERIFY2(c.error.contains(says), qPrintable(c.error));
        QVERIFY(c.error.contains(p));
        QVERIFY(c.read.isEmpty());
    }

    void timeLimit_stopsTheReading()
    {
        jet::ReadOptions o;
        o.tables = jet::readAccessFile(jetfixtures::path("nwind.mdb")).tables;
        o.timeLimitMs = 1;
        const jet::FileContents c = jet::readAccessFile(jetfixtures::path("nwind.mdb"), o);
        QVERIFY2(c.error.contains(QLatin1String("could not be read within")), qPrintable(c.error));
        QVERIFY(c.read.isEmpty());
    }

    void noSuchFile_saysSo()
    {
        const jet::FileContents c = jet::readAccessFile(QStringLiteral("/nonexistent/Records.mdb"));
        QVERIFY(c.error.contains(QLatin1String("No such file")));
    }

    void signature()
    {
        QVERIFY(jet::isAccessFile(jetfixtures::path("nwind.mdb")));
        QVERIFY(jet::isAccessFile(jetfixtures::path("fruit.mdb")));
        QByteArray ace(0x20, '\0');
        ace.replace(4, 16, QByteArray("Standard ACE DB", 16));
        QVERIFY(jet::hasAccessSignature(ace));
        QVERIFY(!jet::hasAccessSignature(QByteArray("SQLite format 3")));
        QVERIFY(!jet::isAccessFile(QStringLiteral("/nonexistent")));
    }

    void storedDays_data()
    {
        QTest::addColumn<double>("stored");
        QTest::addColumn<QDateTime>("expected");
        QTest::newRow("day 0") << 0.0 << utc(1899, 12, 30);
        QTest::newRow("day 1") << 1.0 << utc(1899, 12, 31);
        QTest::newRow("day -1") << -1.0 << utc(1899, 12, 29);
        QTest::newRow("before, with a time") << -1.25 << utc(1899, 12, 29, 6);
        QTest::newRow("noon") << 2.5 << utc(1900, 1, 1, 12);
        QTest::newRow("2000") << 36526.0 << utc(2000, 1, 1);
        QTest::newRow("last day") << 2958465.0 << utc(9999, 12, 31);
        QTest::newRow("first day") << -657434.0 << utc(100, 1, 1);
        QTest::newRow("a hair before midnight") << 0.9999999999 << utc(1899, 12, 31);
        QTest::newRow("seconds") << 1.0 + (3600.0 * 13 + 60 * 5 + 7) / 86400.0 << utc(1899, 12, 31, 13, 5, 7);
        QTest::newRow("beyond 9999") << 2958466.0 << QDateTime();
        QTest::newRow("before 100") << -657435.0 << QDateTime();
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << QDateTime();
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << QDateTime();
    }
    void storedDays()
    {
        QFETCH(double, stored);
        QFETCH(QDateTime, expected);
        QCOMPARE(jet::jetDateTime(stored), expected);
    }
};

JET_FIXTURE_TEST_MAIN(TestJetReader)
#include "tst_jetreader.moc"

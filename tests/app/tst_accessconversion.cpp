// The start-up's offer to convert an Access diary: the question, the answers
// and what becomes of the files.
#include "app/keeping/accessconversion.h"
#include "app/keeping/choosers.h"
#include "keeping/diarycheck.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using testing_support::MessageLog;

namespace {

// The first bytes of an Access file; the tests' preparer never reads further.
QByteArray fakeAccessBytes()
{
    QByteArray b(4096, '\x5a');
    b.replace(0, 20, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20));
    return b;
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

// Three days, the first scored 12: refused unless taken as they are.
jet::PreparedConversion threeDays(const QString &, bool asIs, const jet::ReadOptions &)
{
    jet::PreparedConversion p;
    p.plan = jet::planConversion(
        jet::SourceTable{QStringLiteral("records"),
                         {QStringLiteral("ID"), QStringLiteral("DATE"), QStringLiteral("OVERALL SCORE")},
                         {{qint64(1), QStringLiteral("2020-03-01"), qint64(12)},
                          {qint64(2), QStringLiteral("2020-03-02"), qint64(5)},
                          {qint64(3), QStringLiteral("2020-03-03"), qint64(6)}}},
        std::nullopt, asIs, 2026);
    return p;
}

jet::PreparedConversion threeGoodDays(const QString &path, bool, const jet::ReadOptions &read)
{
    return threeDays(path, true, read);
}

struct Answers
{
    explicit Answers(QList<bool> replies)
        : m_replies(std::move(replies))
    {
        app::Choosers c = app::platformChoosers();
        c.askYesNo = [this](QWidget *, const QString &q) {
            questions << q;
            return !m_replies.isEmpty() && m_replies.takeFirst();
        };
        m_previous = app::setChoosers(std::move(c));
    }
    ~Answers() { app::setChoosers(std::move(m_previous)); }
    QStringList questions;

private:
    QList<bool> m_replies;
    app::Choosers m_previous;
};

struct Preparer
{
    explicit Preparer(app::AccessPreparer p)
        : m_previous(app::setAccessPreparer(std::move(p)))
    {}
    ~Preparer() { app::setAccessPreparer(std::move(m_previous)); }

private:
    app::AccessPreparer m_previous;
};

} // namespace

class TestAccessConversion : public QObject
{
    Q_OBJECT
private slots:
    void yes_convertsAndKeepsTheAccessFile()
    {
        QTemporaryDir dir;
        const QString diaryPath = dir.filePath(QStringLiteral("Records.mdb"));
        writeBytes(diaryPath, fakeAccessBytes());
        Preparer preparer(threeGoodDays);
        Answers answers({true});
        MessageLog log;
        // The work shows its progress dialog while it runs.
        bool progressShown = false;
        QTimer look;
        look.setInterval(5);
        connect(&look, &QTimer::timeout, this, [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                progressShown =
                    progressShown || (w->objectName() == QLatin1String("dlgAccessConversion") && w->isVisible());
        });
        look.start();
        QVERIFY(app::offerAccessConversion(diaryPath, nullptr));
        QVERIFY(progressShown);
        QCOMPARE(answers.questions.size(), 1);
        QVERIFY2(answers.questions[0].contains(QLatin1String("It holds 3 days, from 01/03/20 to 03/03/20.")),
                 qPrintable(answers.questions[0]));
        const keeping::Verdict v = keeping::checkDiary(diaryPath, keeping::CheckDepth::Full);
        QVERIFY2(v.ok, qPrintable(v.text(diaryPath)));
        QCOMPARE(v.days, 3);
        const QStringList kept = jet::keptAccessFiles(diaryPath);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(bytesOf(kept.first()), fakeAccessBytes());
        QVERIFY2(log.last().contains(QStringLiteral("kept, unchanged, as %1").arg(kept.first())),
                 qPrintable(log.last()));
    }

    void no_changesNothing()
    {
        QTemporaryDir dir;
        const QString diaryPath = dir.filePath(QStringLiteral("Records.mdb"));
        writeBytes(diaryPath, fakeAccessBytes());
        Preparer preparer(threeGoodDays);
        Answers answers({false});
        MessageLog log;
        QVERIFY(!app::offerAccessConversion(diaryPath, nullptr));
        QCOMPARE(answers.questions.size(), 1);
        QVERIFY(log.last().startsWith(QStringLiteral("Nothing was changed: %1 is as it was.").arg(diaryPath)));
        QCOMPARE(bytesOf(diaryPath), fakeAccessBytes());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Records.mdb")});
    }

    void theRealQuestion_isAskedAndNoAnswered()
    {
        // The platform's own question box, answered No by a click; its
        // picture is kept where MEALWISE_SCREENSHOT_DIR says.
        QTemporaryDir dir;
        const QString diaryPath = dir.filePath(QStringLiteral("Records.mdb"));
        writeBytes(diaryPath, fakeAccessBytes());
        Preparer preparer(threeGoodDays);
        const app::Choosers previous = app::setChoosers(app::platformChoosers());
        MessageLog log;
        QString asked;
        QTimer poll;
        poll.setInterval(50);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            asked = box->text();
            if (qEnvironmentVariableIsSet("MEALWISE_SCREENSHOT_DIR"))
                box->grab().save(QDir(qEnvironmentVariable("MEALWISE_SCREENSHOT_DIR"))
                                     .filePath(QStringLiteral("access-question.png")));
            box->button(QMessageBox::No)->click();
        });
        poll.start();
        const bool converted = app::offerAccessConversion(diaryPath, nullptr);
        app::setChoosers(previous);
        QVERIFY(!converted);
        QVERIFY2(asked.contains(QLatin1String("3 days")), qPrintable(asked));
        QCOMPARE(bytesOf(diaryPath), fakeAccessBytes());
    }

    void refusedValues_askToTakeThemAsTheyAre()
    {
        QTemporaryDir dir;
        const QString diaryPath = dir.filePath(QStringLiteral("Records.mdb"));
        writeBytes(diaryPath, fakeAccessBytes());
        Preparer preparer(threeDays);
        Answers answers({true, true});
        MessageLog log;
        QVERIFY(app::offerAccessConversion(diaryPath, nullptr));
        QCOMPARE(answers.questions.size(), 2);
        QVERIFY2(answers.questions[0].contains(QLatin1String("Row 1: OVERALL SCORE 12 is not from 1 to 10")),
                 qPrintable(answers.questions[0]));
        QVERIFY(answers.questions[1].contains(QLatin1String("3 days")));
    }

    void notADiary_saysWhyAndChangesNothing()
    {
        // The real reader on an Access file of another kind.
        const QString nwind = QDir(QStringLiteral(QT_TESTCASE_SOURCEDIR))
                                  .absoluteFilePath(QStringLiteral("../../shared/fixtures/jet/nwind.mdb"));
        const QString fixture =
            qEnvironmentVariableIsSet("MEALWISE_JET_FIXTURES")
                ? QDir(qEnvironmentVariable("MEALWISE_JET_FIXTURES")).filePath(QStringLiteral("nwind.mdb"))
                : nwind;
        if (!QFile::exists(fixture))
            QSKIP("The Access test files are not there (MEALWISE_JET_FIXTURES).");
        QTemporaryDir dir;
        const QString diaryPath = dir.filePath(QStringLiteral("Records.mdb"));
        QVERIFY(QFile::copy(fixture, diaryPath));
        Answers answers({true});
        MessageLog log;
        QVERIFY(!app::offerAccessConversion(diaryPath, nullptr));
        QVERIFY(answers.questions.isEmpty());
        QVERIFY2(log.last().contains(QLatin1String("no table named records")), qPrintable(log.last()));
        QVERIFY(log.last().contains(QLatin1String("Nothing was changed")));
        QCOMPARE(bytesOf(diaryPath), bytesOf(fixture));
    }

    void keptFileWithoutDiary_isConvertedAgain()
    {
        QTemporaryDir dir;
        const QString diaryPath = dir.filePath(QStringLiteral("Records.mdb"));
        const QString kept = dir.filePath(QStringLiteral("Records-access-2026-01-02-030405.mdb"));
        writeBytes(kept, fakeAccessBytes());
        Preparer preparer(threeGoodDays);
        {
            Answers no({false});
            MessageLog log;
            QVERIFY(!app::offerToFinishConversion(diaryPath, nullptr));
            QVERIFY(no.questions.first().contains(kept));
            QVERIFY(!QFile::exists(diaryPath));
        }
        Answers yes({true});
        MessageLog log;
        QVERIFY(app::offerToFinishConversion(diaryPath, nullptr));
        QCOMPARE(keeping::checkDiary(diaryPath, keeping::CheckDepth::Full).days, 3);
        QCOMPARE(bytesOf(kept), fakeAccessBytes());
    }

    void noKeptFile_asksNothing()
    {
        QTemporaryDir dir;
        Answers answers({true});
        QVERIFY(!app::offerToFinishConversion(dir.filePath(QStringLiteral("Records.mdb")), nullptr));
        QVERIFY(answers.questions.isEmpty());
    }
};

QTEST_MAIN(TestAccessConversion)
#include "tst_accessconversion.moc"

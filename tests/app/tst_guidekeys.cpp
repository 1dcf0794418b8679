// Every key the user guide's key list names, pressed on a diary of its own:
// each must do what the guide says it does. The keys are read from the guide
// itself, so a key added to the guide without a check here fails.
#include "app/frmfind.h"
#include "app/frmmain.h"
#include "app/help/frmabout.h"
#include "app/help/frmguide.h"
#include "app/insights/frminsights.h"
#include "app/keeping/choosers.h"
#include "app/keeping/frmbin.h"
#include "app/keeping/keepingwindows.h"
#include "data/rowset.h"
#include "entry/adodc.h"
#include "entry/food.h"
#include "entry/frmrecords.h"
#include "entry/textboxes.h"
#include "platform/flexgrid.h"
#include "platform/forms.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QtTest>

using testing_support::MessageLog;
using testing_support::TempDiary;
using testing_support::TempHome;

namespace {
const QDate kToday(2031, 7, 15);

// (window, key) pairs of the guide's key list, in its order.
QList<std::pair<QString, QString>> guideKeys()
{
    QFile f(QStringLiteral(":/help/guide.html"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString html = QString::fromUtf8(f.readAll());
    QList<std::pair<QString, QString>> keys;
    QString where;
    static const QRegularExpression re(QStringLiteral("<h4 id=\"keys-(\\w+)\">|<kbd>([^<]+)</kbd>"));
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength(1))
            where = m.captured(1);
        else if (!where.isEmpty())
            keys.append({where, m.captured(2)});
    }
    return keys;
}

template <typename T> T *openWindow()
{
    for (QWidget *w : vb::Forms::list())
        if (auto *t = qobject_cast<T *>(w))
            return t;
    return nullptr;
}

// Presses each key of a sequence where a user's key would go: the open menu,
// else the widget with the focus.
void press(const QKeySequence &keys, QWidget *fallback)
{
    for (int i = 0; i < keys.count(); ++i) {
        QWidget *target = QApplication::activePopupWidget();
        if (!target)
            target = QApplication::focusWidget();
        if (!target)
            target = fallback;
        const QKeyCombination k = keys[i];
        QTest::keyClick(target, k.key(), k.keyboardModifiers());
        QApplication::processEvents();
    }
}

struct Asked
{
    QStringList what; // the chooser and its caption, in order
};
} // namespace

class tst_GuideKeys : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(vb::Forms::list().isEmpty()); }
    void cleanup()
    {
        while (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        for (QWidget *w : vb::Forms::list())
            delete w;
    }

    void keyList_namesEveryWindowsKeys()
    {
        const auto keys = guideKeys();
        QSet<QString> windows;
        for (const auto &[where, key] : keys) {
            windows << where;
            QVERIFY2(!QKeySequence::fromString(key, QKeySequence::PortableText).isEmpty(), qPrintable(key));
        }
        QCOMPARE(windows, (QSet<QString>{QStringLiteral("main"), QStringLiteral("records"), QStringLiteral("food"),
                                         QStringLiteral("find"), QStringLiteral("guide")}));
        // No access key the menus do not have.
        for (const auto &[where, key] : keys)
            QVERIFY2(!(where == QLatin1String("main") && key.startsWith(QLatin1String("Alt+D, ")) &&
                       (key.endsWith(QLatin1Char('R')) || key.endsWith(QLatin1Char('F')))),
                     qPrintable(key));
    }

    void eachKey_doesWhatTheGuideSays_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("key");
        for (const auto &[where, key] : guideKeys())
            QTest::newRow(qPrintable(where + QLatin1String(": ") + key)) << where << key;
    }
    void eachKey_doesWhatTheGuideSays()
    {
        QFETCH(QString, where);
        QFETCH(QString, key);
        const QKeySequence keys = QKeySequence::fromString(key, QKeySequence::PortableText);

        TempHome home;
        TempDiary d(true);
        QVERIFY2(d.ok(), qPrintable(d.error()));
        const QString score = QStringLiteral("OVERALL SCORE");
        d.insertDay({{score, 9},
                     {QStringLiteral("DATE"), QStringLiteral("2031-03-01")},
                     {QStringLiteral("BREAKFAST"), QStringLiteral("PORRIDGE")}});
        d.insertDay({{score, 5},
                     {QStringLiteral("DATE"), QStringLiteral("2031-03-02")},
                     {QStringLiteral("BREAKFAST"), QStringLiteral("TOAST")},
                     {QStringLiteral("LUNCH"), QStringLiteral("SOUP")}});
        d.insertDay({{score, 2},
                     {QStringLiteral("DATE"), QStringLiteral("2031-03-03")},
                     {QStringLiteral("BREAKFAST"), QStringLiteral("CHILLI")},
                     {QStringLiteral("LUNCH"), QStringLiteral("SOUP")}});
        const auto days = [&d] { return d.scalar(QStringLiteral("SELECT COUNT(*) FROM records")).toInt(); };

        MessageLog log;
        Asked asked;
        app::Choosers answers;
        answers.openFile = [&asked](QWidget *, const QString &caption, const QString &) {
            asked.what << QStringLiteral("open: ") + caption;
            return QString();
        };
        answers.saveFile = [&asked](QWidget *, const QString &caption, const QString &, const QString &) {
            asked.what << QStringLiteral("save: ") + caption;
            return QString();
        };
        answers.askYesNo = [](QWidget *, const QString &) { return false; };
        answers.reportRange = [&asked](QWidget *, const QDate &from, const QDate &to) {
            asked.what << QStringLiteral("range");
            return std::optional<std::pair<QDate, QDate>>(std::pair{from, to});
        };
        answers.print = [&asked](QWidget *, const std::function<void(QPagedPaintDevice &)> &) {
            asked.what << QStringLiteral("print");
            return false;
        };
        const app::Choosers previous = app::setChoosers(answers);
        const auto restoreChoosers = qScopeGuard([&previous] { app::setChoosers(previous); });

        QPointer<frmMain> w = new frmMain;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->setTodayProvider([] { return kToday; });
        w->load();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        vb::FlexGrid *grid = w->MSFlexGrid1;
        QCOMPARE(grid->Rows(), 4);
        grid->setFocus();
        grid->goToCell(2, 0); // the middle day, TOAST
        QCOMPARE(QApplication::focusWidget(), grid);

        if (where == QLatin1String("main")) {
            const QString &k = key;
            if (k == QLatin1String("F5") || k == QLatin1String("Alt+V, R")) {
                d.insertDay({{score, 7}, {QStringLiteral("DATE"), QStringLiteral("2031-03-04")}});
                press(keys, w);
                QTRY_COMPARE(grid->Rows(), 5);
                QCOMPARE(grid->TextMatrix(2, 0), QStringLiteral("04/03/31")); // ranked by its score
            } else if (k == QLatin1String("F1") || k == QLatin1String("Alt+H, G")) {
                press(keys, w);
                QTRY_VERIFY(openWindow<frmGuide>());
            } else if (k == QLatin1String("Alt+H, A")) {
                press(keys, w);
                QTRY_VERIFY(openWindow<frmAbout>());
            } else if (k == QLatin1String("Ctrl+F") || k == QLatin1String("Alt+V, F")) {
                press(keys, w);
                QTRY_VERIFY(w->findWindow() && w->findWindow()->isVisible());
            } else if (k == QLatin1String("Ctrl+C")) {
                QApplication::clipboard()->clear();
                press(keys, w);
                const QString copied = QApplication::clipboard()->text();
                QVERIFY2(copied.startsWith(QStringLiteral("02/03/31\t")) && copied.contains(QStringLiteral("TOAST")) &&
                             !copied.contains(QLatin1Char('\n')),
                         qPrintable(copied));
            } else if (k == QLatin1String("Down") || k == QLatin1String("Up") || k == QLatin1String("Ctrl+End") ||
                       k == QLatin1String("Ctrl+Home")) {
                const QHash<QString, int> to{{QStringLiteral("Down"), 3},
                                             {QStringLiteral("Up"), 1},
                                             {QStringLiteral("Ctrl+End"), 3},
                                             {QStringLiteral("Ctrl+Home"), 1}};
                if (k.startsWith(QLatin1String("Ctrl")))
                    grid->goToCell(k == QLatin1String("Ctrl+End") ? 1 : 3, 0);
                press(keys, w);
                QCOMPARE(grid->RowSel(), to.value(k));
            } else if (k == QLatin1String("Return")) {
                press(keys, w);
                frmrecords *r = nullptr;
                QTRY_VERIFY((r = openWindow<frmrecords>()));
                QCOMPARE(r->datPrimaryRS->Recordset()->field(QStringLiteral("BREAKFAST")).toString(),
                         QStringLiteral("TOAST"));
            } else if (k.size() == 5 && k.startsWith(QLatin1String("Alt+"))) {
                const QHash<QChar, QMenu *> menus{{QLatin1Char('F'), w->mnuFile},
                                                  {QLatin1Char('D'), w->mnuData},
                                                  {QLatin1Char('V'), w->mnuView},
                                                  {QLatin1Char('H'), w->mnuHelp}};
                press(keys, w);
                QTRY_COMPARE(QApplication::activePopupWidget(), menus.value(k.at(4)));
            } else if (k == QLatin1String("Alt+F, B")) {
                press(keys, w);
                QTRY_VERIFY2(log.last().startsWith(QStringLiteral("The diary was backed up to ")),
                             qPrintable(log.last()));
                QCOMPARE(QDir(home.path() + QStringLiteral("/MEALWISE/Backups")).entryList(QDir::Files).size(), 1);
            } else if (k == QLatin1String("Alt+F, R")) {
                press(keys, w);
                QTRY_VERIFY(openWindow<frmRestore>());
            } else if (k == QLatin1String("Alt+F, L")) {
                press(keys, w);
                QTRY_VERIFY(openWindow<frmBin>());
            } else if (k == QLatin1String("Alt+F, E")) {
                press(keys, w);
                QTRY_COMPARE(asked.what, QStringList{QStringLiteral("save: Export days")});
            } else if (k == QLatin1String("Alt+F, I")) {
                press(keys, w);
                QTRY_COMPARE(asked.what, QStringList{QStringLiteral("open: Import days")});
            } else if (k == QLatin1String("Alt+F, P")) {
                press(keys, w);
                QTRY_COMPARE(asked.what, (QStringList{QStringLiteral("range"), QStringLiteral("print")}));
            } else if (k == QLatin1String("Alt+F, D")) {
                press(keys, w);
                QTRY_COMPARE(asked.what,
                             (QStringList{QStringLiteral("range"), QStringLiteral("save: Export report as PDF")}));
            } else if (k == QLatin1String("Alt+F, X")) {
                w->mnuDatafood_Click(); // every window it opened closes with it
                QPointer<QWidget> food(openWindow<FOOD>());
                QVERIFY(food);
                w->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(w));
                grid->setFocus();
                press(keys, w);
                QTRY_VERIFY(w.isNull());
                QVERIFY(food.isNull());
            } else if (k == QLatin1String("Alt+D, I")) {
                press(keys, w);
                QTRY_VERIFY(openWindow<frmInsights>());
            } else if (k == QLatin1String("Alt+D, N")) {
                press(keys, w);
                frmrecords *r = nullptr;
                QTRY_VERIFY((r = openWindow<frmrecords>()));
                RowSet *rs = r->datPrimaryRS->Recordset();
                QVERIFY(rs->isNew(rs->currentIndex()));
                QCOMPARE(rs->field(QStringLiteral("BREAKFAST")).toString(), QStringLiteral("TOAST"));
                QCOMPARE(qobject_cast<QLineEdit *>(r->txtFields(7))->text(), QStringLiteral("15/07/31"));
            } else {
                QFAIL(qPrintable(QStringLiteral("the guide names %1 in the main window; no check knows it").arg(k)));
            }
            return;
        }

        if (where == QLatin1String("records")) {
            w->mnuDatafrmrecords_Click(); // on the selected day, TOAST
            frmrecords *r = openWindow<frmrecords>();
            QVERIFY(r);
            QVERIFY(QTest::qWaitForWindowActive(r));
            QPointer<frmrecords> guard(r);
            RowSet *rs = r->datPrimaryRS->Recordset();
            auto *breakfast = qobject_cast<MultiLineTextBox *>(r->txtFields(5));
            QVERIFY(breakfast);
            QCOMPARE(QApplication::focusWidget(), breakfast);
            if (key == QLatin1String("Alt+A")) {
                press(keys, r); // a button's access key clicks it a moment later, as it shows the press
                QTRY_COMPARE(rs->RecordCount(), 4);
                QVERIFY(rs->isNew(rs->currentIndex()));
            } else if (key == QLatin1String("Alt+U")) {
                breakfast->moveCursor(QTextCursor::End);
                QTest::keyClicks(breakfast, QStringLiteral(" AND JAM"));
                press(keys, r);
                QTRY_COMPARE(
                    d.scalar(QStringLiteral("SELECT BREAKFAST FROM records WHERE DATE = '2031-03-02'")).toString(),
                    QStringLiteral("TOAST AND JAM"));
            } else if (key == QLatin1String("Alt+D")) {
                press(keys, r);
                QTRY_COMPARE(days(), 2);
                QCOMPARE(d.scalar(QStringLiteral("SELECT COUNT(*) FROM records WHERE BREAKFAST = 'TOAST'")).toInt(), 0);
            } else if (key == QLatin1String("Alt+R")) {
                QVERIFY(d.exec(QStringLiteral("UPDATE records SET BREAKFAST = 'EGGS'")));
                press(keys, r);
                QTRY_COMPARE(rs->field(QStringLiteral("BREAKFAST")).toString(), QStringLiteral("EGGS"));
            } else if (key == QLatin1String("Alt+C")) {
                press(keys, r);
                QTRY_VERIFY(guard.isNull());
            } else if (key == QLatin1String("Tab")) {
                press(keys, r);
                QCOMPARE(QApplication::focusWidget(), r->txtFields(6)); // COMMENTS, as the window's tab order has it
            } else {
                QFAIL(qPrintable(
                    QStringLiteral("the guide names %1 in the daily record window; no check knows it").arg(key)));
            }
            return;
        }

        if (where == QLatin1String("food")) {
            w->mnuDatafood_Click();
            FOOD *f = openWindow<FOOD>();
            QVERIFY(f);
            QVERIFY(QTest::qWaitForWindowActive(f));
            QPointer<FOOD> guard(f);
            if (key == QLatin1String("Alt+U")) {
                f->txtFields[0]->setFocus();
                QTest::keyClicks(f->txtFields[0], QStringLiteral("RICE"));
                press(keys, f);
                QTRY_VERIFY(d.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION]"))
                                .toString()
                                .contains(QStringLiteral("RICE")));
            } else if (key == QLatin1String("Alt+C")) {
                press(keys, f);
                QTRY_VERIFY(guard.isNull());
            } else {
                QFAIL(qPrintable(QStringLiteral("the guide names %1 in the food window; no check knows it").arg(key)));
            }
            return;
        }

        if (where == QLatin1String("find")) {
            grid->goToCell(1, 0);
            w->mnuViewFind_Click();
            frmFind *f = w->findWindow();
            QVERIFY(f);
            QVERIFY(QTest::qWaitForWindowActive(f));
            QPointer<frmFind> guard(f);
            QTest::keyClicks(f->txtFind, QStringLiteral("soup"));
            if (key == QLatin1String("Return") || key == QLatin1String("Alt+N")) {
                press(keys, f);
                QTRY_COMPARE(grid->Row(), 2);
                press(keys, f);
                QTRY_COMPARE(grid->Row(), 3);
            } else if (key == QLatin1String("Alt+P")) {
                press(keys, f);
                QTRY_COMPARE(grid->Row(), 3); // back from the first day: round to the last
            } else if (key == QLatin1String("Escape")) {
                press(keys, f);
                QTRY_VERIFY(guard.isNull());
            } else {
                QFAIL(qPrintable(QStringLiteral("the guide names %1 in the find window; no check knows it").arg(key)));
            }
            return;
        }

        if (where == QLatin1String("guide")) {
            // The guide and the About box alike.
            for (QAction *item : {w->mnuHelpGuide, w->mnuHelpAbout}) {
                item->trigger();
                QWidget *window = vb::Forms::list().last();
                QVERIFY(window != w);
                QVERIFY(QTest::qWaitForWindowActive(window));
                QPointer<QWidget> guard(window);
                if (key != QLatin1String("Escape") && key != QLatin1String("Alt+C"))
                    QFAIL(qPrintable(
                        QStringLiteral("the guide names %1 in the help windows; no check knows it").arg(key)));
                press(keys, window);
                QTRY_VERIFY2(guard.isNull(), qPrintable(item->objectName()));
            }
            return;
        }
        QFAIL(qPrintable(QStringLiteral("a key list for an unknown window: %1").arg(where)));
    }
};

QTEST_MAIN(tst_GuideKeys)
#include "tst_guidekeys.moc"

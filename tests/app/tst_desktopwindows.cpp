// The Help menu and its two windows, names for assistive technology in every
// window, the grid as a table, and the keyboard in the new windows.
#include "app/frmmain.h"
#include "app/help/frmabout.h"
#include "app/help/frmguide.h"
#include "app/keeping/choosers.h"
#include "platform/flexgrid.h"
#include "platform/forms.h"
#include "testsupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

using testing_support::MessageLog;
using testing_support::TempDiary;
using testing_support::TempHome;

namespace {
template <typename T> T *openWindow()
{
    for (QWidget *w : vb::Forms::list()) {
        if (auto *t = qobject_cast<T *>(w))
            return t;
    }
    return nullptr;
}

// Every control of a window that takes the focus by Tab, as a user meets it;
// the parts inside a combo box are the combo box.
QList<QWidget *> focusable(QWidget *window)
{
    QList<QWidget *> result;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(window) || w->focusProxy())
            continue;
        bool inside = false;
        for (QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
            inside = inside || qobject_cast<QComboBox *>(p);
        if (!inside)
            result << w;
    }
    return result;
}
} // namespace

class tst_DesktopWindows : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(vb::Forms::list().isEmpty()); }
    void cleanup()
    {
        for (QWidget *w : vb::Forms::list())
            delete w;
    }

    void helpMenu_lastWithGuideAndAbout()
    {
        TempHome home;
        TempDiary d(true);
        frmMain w;
        const QList<QAction *> menus = w.menuBar()->actions();
        QVERIFY(menus.size() >= 3);
        QCOMPARE(menus.last()->text(), QStringLiteral("&Help"));
        QCOMPARE(menus.at(0)->text(), QStringLiteral("&File"));
        QCOMPARE(menus.at(1)->text(), QStringLiteral("&Data"));
        QStringList items;
        for (QAction *a : menus.last()->menu()->actions())
            items << a->text();
        QCOMPARE(items, (QStringList{QStringLiteral("User &guide"), QStringLiteral("&About MEALWISE")}));
    }

    void guide_coversEachTopic_data()
    {
        QTest::addColumn<QString>("heading");
        for (const char *h : {"Recording a day", "Dates", "Reading the ranking", "Filters", "Find", "The lists",
                              "Insights", "Backups", "Export and import", "The report for your doctor", "Keys"})
            QTest::newRow(h) << QString::fromLatin1(h);
    }
    void guide_coversEachTopic()
    {
        QFETCH(QString, heading);
        frmGuide guide;
        const QString text = guide.txtGuide->toPlainText();
        QVERIFY2(text.contains(heading + QLatin1Char('\n')), qPrintable(text.left(200)));
        // Said in a paragraph of its own, not a bare heading.
        QVERIFY(text.section(heading + QLatin1Char('\n'), 1).trimmed().size() > 100);
    }

    void about_namesVersionLicenceToolkitEngineAndDiary()
    {
        const QString text = frmAbout::aboutText(QStringLiteral("/home/someone/MEALWISE/Records.mdb"));
        QVERIFY(text.startsWith(QStringLiteral("MEALWISE 1.0.0\n")));
        QVERIFY(text.contains(QStringLiteral("GPL-3.0-or-later")));
        QVERIFY(text.contains(QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion()))));
        QVERIFY2(QRegularExpression(QStringLiteral("\nSQLite 3\\.\\d+\\.\\d+\n")).match(text).hasMatch(),
                 qPrintable(text));
        QVERIFY(text.endsWith(QStringLiteral("Diary: /home/someone/MEALWISE/Records.mdb")));
    }

    // Each Help item opens one window, raised again when asked twice; Escape
    // and the access key of Close end it; Exit closes whatever is open.
    void helpWindows_oneEachKeyboardAndExit_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("escape"); // else Alt+C
        QTest::newRow("guide, Escape") << QStringLiteral("mnuHelpGuide") << true;
        QTest::newRow("guide, Alt+C") << QStringLiteral("mnuHelpGuide") << false;
        QTest::newRow("about, Escape") << QStringLiteral("mnuHelpAbout") << true;
        QTest::newRow("about, Alt+C") << QStringLiteral("mnuHelpAbout") << false;
    }
    void helpWindows_oneEachKeyboardAndExit()
    {
        QFETCH(QString, item);
        QFETCH(bool, escape);
        TempHome home;
        TempDiary d(true);
        auto *w = new frmMain;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->load();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto *action = w->findChild<QAction *>(item);
        QVERIFY(action);
        action->trigger();
        action->trigger();
        QCOMPARE(vb::Forms::count(), 2);
        QWidget *window = vb::Forms::list().last();
        QVERIFY(QTest::qWaitForWindowActive(window));
        // Tab reaches every control and comes back round.
        const QList<QWidget *> controls = focusable(window);
        QVERIFY(!controls.isEmpty());
        QSet<QWidget *> met;
        for (int i = 0; i < controls.size(); ++i) {
            met.insert(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(met, QSet<QWidget *>(controls.begin(), controls.end()));

        QPointer<QWidget> guard(window);
        if (escape)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(guard.isNull());

        action->trigger();
        QPointer<QWidget> again(vb::Forms::list().last());
        QVERIFY(again != w);
        QPointer<frmMain> main(w);
        w->mnuFileExit_Click();
        QTRY_VERIFY(again.isNull());
        QTRY_VERIFY(main.isNull());
    }

    // Every control that takes the focus, in every window the menus open,
    // has a name of its own within its window.
    void everyWindow_focusableControlsNamedOnce()
    {
        TempHome home;
        TempDiary d(true);
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 8}, {QStringLiteral("DATE"), QStringLiteral("2026-03-04")}});
        MessageLog log;
        auto *w = new frmMain;
        w->load();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->cmdFilter->click(); // the filter lists too
        // Items that ask for a file, a range or a printer are answered "cancel".
        app::Choosers cancel;
        cancel.openFile = [](QWidget *, const QString &, const QString &) { return QString(); };
        cancel.saveFile = [](QWidget *, const QString &, const QString &, const QString &) { return QString(); };
        cancel.askYesNo = [](QWidget *, const QString &) { return false; };
        cancel.reportRange = [](QWidget *, const QDate &, const QDate &) {
            return std::optional<std::pair<QDate, QDate>>();
        };
        cancel.print = [](QWidget *, const std::function<void(QPagedPaintDevice &)> &) { return false; };
        const app::Choosers previous = app::setChoosers(cancel);
        QSet<QString> opened;
        for (QAction *menu : w->menuBar()->actions()) {
            for (QAction *a : menu->menu()->actions()) {
                if (a != w->mnuFileExit && !a->isSeparator() && a->isEnabled()) {
                    a->trigger();
                    opened << a->objectName();
                }
            }
        }
        app::setChoosers(previous);
        QVERIFY(opened.contains(QStringLiteral("mnuDatafrmrecords")));
        QVERIFY(opened.contains(QStringLiteral("mnuHelpAbout")));
        QStringList windows;
        QStringList faults;
        for (QWidget *window : vb::Forms::list()) {
            QVERIFY(QTest::qWaitForWindowExposed(window));
            windows << window->objectName();
            QHash<QString, QString> seen;
            for (QWidget *c : focusable(window)) {
                QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(c);
                const QString name = iface ? iface->text(QAccessible::Name).trimmed() : QString();
                const QString who = window->objectName() + QLatin1Char('.') + c->objectName();
                if (name.isEmpty())
                    faults << who + QStringLiteral(" has no name");
                else if (seen.contains(name))
                    faults << who + QStringLiteral(" is called \"%1\" like %2").arg(name, seen.value(name));
                seen.insert(name, c->objectName());
            }
        }
        for (const char *name : {"frmMain", "frmrecords", "FOOD", "frmGuide", "frmAbout"})
            QVERIFY2(windows.contains(QLatin1String(name)), qPrintable(windows.join(QLatin1Char(' '))));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        // The names given, by label and meal, where labels repeat.
        for (const auto &[object, name] : {std::pair{"Combo1", "Breakfast medication 2"},
                                           {"Combo8", "Lunch beverage"},
                                           {"txtFields_16", "Tea snack"},
                                           {"cmbFilter_3", "BREAKFAST filter"}}) {
            QWidget *c = nullptr;
            for (QWidget *window : vb::Forms::list())
                c = c ? c : window->findChild<QWidget *>(QLatin1String(object));
            QVERIFY2(c, object);
            QCOMPARE(QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name), QLatin1String(name));
        }
    }

    // A screen reader reads the grid as a table: the header row as column
    // headers, each day a row of cells, the selection as selected rows.
    void grid_readAsTable()
    {
        TempHome home;
        TempDiary d(true);
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 3},
                     {QStringLiteral("DATE"), QStringLiteral("2026-01-02")},
                     {QStringLiteral("BREAKFAST"), QStringLiteral("TOAST")}});
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 10},
                     {QStringLiteral("DATE"), QStringLiteral("2026-01-03")},
                     {QStringLiteral("BREAKFAST"), QStringLiteral("PORRIDGE")}});
        frmMain w;
        w.load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QAccessibleInterface *grid = QAccessible::queryAccessibleInterface(w.MSFlexGrid1);
        QVERIFY(grid);
        QCOMPARE(grid->role(), QAccessible::Table);
        QCOMPARE(grid->text(QAccessible::Name), QStringLiteral("Days, best first"));
        QAccessibleTableInterface *table = grid->tableInterface();
        QVERIFY(table);
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->columnCount(), w.MSFlexGrid1->Cols());
        QCOMPARE(table->columnDescription(3), QStringLiteral("BREAKFAST"));
        QCOMPARE(grid->childCount(), 3 * w.MSFlexGrid1->Cols());

        struct Cell
        {
            int row, col;
            const char *text;
        };
        for (const Cell &c : {Cell{0, 0, "03/01/26"}, Cell{0, 3, "PORRIDGE"}, Cell{1, 1, "3"}, Cell{1, 3, "TOAST"}}) {
            QAccessibleInterface *cell = table->cellAt(c.row, c.col);
            QVERIFY(cell);
            QCOMPARE(cell->role(), QAccessible::Cell);
            QCOMPARE(cell->text(QAccessible::Name), QLatin1String(c.text));
            QCOMPARE(cell->parent(), grid);
            QCOMPARE(grid->child(grid->indexOfChild(cell)), cell);
            QAccessibleTableCellInterface *ci = cell->tableCellInterface();
            QVERIFY(ci);
            QCOMPARE(ci->rowIndex(), c.row);
            QCOMPARE(ci->columnIndex(), c.col);
            QCOMPARE(ci->columnHeaderCells().size(), 1);
            QCOMPARE(ci->columnHeaderCells().first()->text(QAccessible::Name), w.MSFlexGrid1->TextMatrix(0, c.col));
            QCOMPARE(ci->columnHeaderCells().first()->role(), QAccessible::ColumnHeader);
            QVERIFY(cell->rect().isValid());
            QCOMPARE(grid->childAt(cell->rect().center().x(), cell->rect().center().y()), cell);
        }
        QVERIFY(!table->cellAt(2, 0));
        QVERIFY(table->selectRow(1));
        QCOMPARE(w.MSFlexGrid1->Row(), 2);
        QCOMPARE(table->selectedRows(), QList<int>{1});
        QVERIFY(table->cellAt(1, 0)->state().selected);
        QVERIFY(!table->cellAt(0, 0)->state().selected);
    }
};

QTEST_MAIN(tst_DesktopWindows)
#include "tst_desktopwindows.moc"

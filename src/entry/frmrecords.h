#pragma once

#include "data/diarynames.h"
#include "entry/boundentrywindow.h"

#include <QDate>
#include <QString>

#include <functional>

#include <map>

class QComboBox;
class QLabel;
class QLineEdit;
class MultiLineTextBox;

namespace vb {
class FlexGrid;
}

// The daily record window: one day of the diary per row of `records`.
//
// Every control carries its design name as objectName; members of a control
// array add their index after an underscore: "txtFields_5" (BREAKFAST),
// "lblLabels_0", and so on. The others are named as they stand: "Combo1" to
// "Combo15", "cmdAdd", "cmdUpdate", "cmdDelete", "cmdRefresh", "cmdClose",
// "picButtons", "datPrimaryRS", "Label1", "Label2", "Image1".
//
// It opens on the day selected in the main window's grid: the row whose ID is
// the hidden key of the grid's RowSel row, or, where that row has no key or
// its day is gone, the row at the same ordinal position. The window deletes
// itself when closed.
class frmrecords : public BoundEntryWindow
{
    Q_OBJECT
public:
    explicit frmrecords(const vb::FlexGrid *mainGrid, const QString &databasePath = diary::databasePath(),
                        QWidget *parent = nullptr);
    ~frmrecords() override;

    // Text boxes by index (5, 6, 7, 9, 14 to 18); nullptr for an index that
    // does not exist. Multi-line boxes are MultiLineTextBox, the others QLineEdit.
    QWidget *txtFields(int index) const;
    QLabel *lblLabels(int index) const;

    QComboBox *Combo1 = nullptr, *Combo2 = nullptr, *Combo3 = nullptr, *Combo4 = nullptr, *Combo5 = nullptr,
              *Combo6 = nullptr, *Combo7 = nullptr, *Combo8 = nullptr, *Combo9 = nullptr, *Combo10 = nullptr,
              *Combo11 = nullptr, *Combo12 = nullptr, *Combo13 = nullptr, *Combo14 = nullptr, *Combo15 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Image1 = nullptr;
    QWidget *picButtons = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdRefresh = nullptr;

    void Form_Load();
    // Moves to the day with that ID, where it is still in the diary (the
    // insights window opens a day this way); false when it is not.
    bool moveToId(qint64 id);

    // Adds a day whose meals, snacks, beverages and medications are those of
    // the day with this ID, dated today, with no score, BMs or comments, and
    // makes it current. It is written as a day added with Add is: by Update,
    // a move or closing. False, with the reason shown, when the day is gone.
    bool addDayLike(qint64 id);

    // Where the window learns today's date: typed two-digit years are read in
    // the hundred years around it. The clock unless a caller says otherwise.
    void setTodayProvider(std::function<QDate()> today) { m_today = std::move(today); }

private:
    void buildControls();
    void bindControls();
    void setTabOrder();

    const vb::FlexGrid *m_mainGrid;
    QString m_databasePath;
    std::map<int, QWidget *> m_txtFields;
    std::map<int, QLabel *> m_lblLabels;
    std::function<QDate()> m_today = [] { return QDate::currentDate(); };
};

#pragma once

#include "data/diarynames.h"
#include "entry/boundentrywindow.h"

#include <QString>

#include <array>

class QLabel;
class MultiLineTextBox;

// The food and medication window: the four lists of the first row of
// `FOOD AND MEDICATION`, with Update and Close. Its navigator is hidden, so it
// always edits the row it opens on. With no row in the table it says so and
// saves nothing.
//
// objectNames as in the design, array members with "_index": "txtFields_0" to
// "txtFields_3", "lblLabels_0" to "lblLabels_3"; "Label1", "Image1",
// "cmdUpdate", "cmdClose", "datPrimaryRS". The window deletes itself when closed.
class FOOD : public BoundEntryWindow
{
    Q_OBJECT
public:
    explicit FOOD(const QString &databasePath = diary::databasePath(), QWidget *parent = nullptr);
    ~FOOD() override;

    std::array<MultiLineTextBox *, 4> txtFields{};
    std::array<QLabel *, 4> lblLabels{};
    QLabel *Label1 = nullptr;
    QLabel *Image1 = nullptr;

    // Update as this window runs it: with no row there is nothing to save to.
    void cmdUpdateFood_Click();

private:
    void buildControls();
    QString noRowMessage() const;

    QString m_databasePath;
};

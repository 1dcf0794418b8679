// Every label and button caption of every window fits its control in the face
// it is drawn in: one line across its width, a word-wrapped label within its
// height. Registered again at device pixel ratios of 1.5 and 2.
#include "app/frmmain.h"
#include "app/frmsplash.h"
#include "entry/food.h"
#include "entry/frmrecords.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QtTest>

#include <memory>

using testing_support::MessageLog;
using testing_support::TempDiary;
using testing_support::TempHome;

namespace {

// The design sizes that are not 8.25 pt.
struct DesignSize
{
    const char *window;
    const char *control;
    double points;
};
const DesignSize kDesignSizes[] = {
    {"frmSplash", "Label1", 24},
    {"frmSplash", "lblProductName", 36},
    {"frmSplash", "lblVersion", 12},
    {"frmSplash", "Label12", 6},
};

double designPoints(const QWidget *window, const QWidget *control)
{
    for (const DesignSize &d : kDesignSizes) {
        if (window->objectName() == QLatin1String(d.window) && control->objectName() == QLatin1String(d.control))
            return d.points;
    }
    return 8.25;
}

QString withoutAccessKeys(const QString &caption)
{
    QString shown = caption;
    return shown.replace(QLatin1String("&&"), QStringLiteral("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QChar(1), QLatin1Char('&'));
}

// What the text needs against what the control offers, in pixels; empty when it fits.
QString misfit(const QWidget *control, const QString &text, const QRect &box, bool wrap, Qt::Alignment align)
{
    const QFontMetricsF fm(control->font(), control);
    if (wrap) {
        const double needed = fm.boundingRect(QRectF(box), Qt::TextWordWrap | int(align), text).height();
        if (needed > box.height())
            return QStringLiteral("wrapped height %1 > %2").arg(needed).arg(box.height());
        return {};
    }
    if (fm.horizontalAdvance(text) > box.width())
        return QStringLiteral("width %1 > %2").arg(fm.horizontalAdvance(text)).arg(box.width());
    if (fm.height() > box.height())
        return QStringLiteral("height %1 > %2").arg(fm.height()).arg(box.height());
    return {};
}

struct Window
{
    TempHome home; // before the diary, which lives in it
    TempDiary diary{true};
    std::unique_ptr<frmMain> main;
    QWidget *window = nullptr;
    std::unique_ptr<QWidget> owned;
};

enum Kind { Splash, Main, MainFiltersShown, Records, Food };

void open(Window &w, Kind kind)
{
    w.diary.insertDay({{QStringLiteral("OVERALL SCORE"), 7}, {QStringLiteral("BREAKFAST"), QStringLiteral("TOAST")}});
    switch (kind) {
    case Splash:
        w.window = frmSplash::instance();
        break;
    case Main:
    case MainFiltersShown:
        w.main = std::make_unique<frmMain>();
        w.main->load();
        w.main->show();
        if (kind == MainFiltersShown)
            w.main->cmdFilter_Click();
        w.window = w.main.get();
        break;
    case Records:
        w.main = std::make_unique<frmMain>();
        w.main->load();
        w.owned = std::make_unique<frmrecords>(w.main->MSFlexGrid1);
        w.window = w.owned.get();
        break;
    case Food:
        w.owned = std::make_unique<FOOD>();
        w.window = w.owned.get();
        break;
    }
    w.window->show();
}

} // namespace

class tst_CaptionFit : public QObject
{
    Q_OBJECT

private slots:
    void everyCaptionFitsItsControl_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("splash") << int(Splash);
        QTest::newRow("main") << int(Main);
        QTest::newRow("main, filters shown") << int(MainFiltersShown);
        QTest::newRow("daily record") << int(Records);
        QTest::newRow("food and medication") << int(Food);
    }

    void everyCaptionFitsItsControl()
    {
        QFETCH(int, kind);
        MessageLog log;
        Window w;
        open(w, Kind(kind));
        QVERIFY(QTest::qWaitForWindowExposed(w.window));
        int checked = 0;
        QStringList failures;
        auto check = [&](QWidget *control, const QString &text, const QRect &box, bool wrap, Qt::Alignment align) {
            if (text.trimmed().isEmpty() || !control->isVisibleTo(w.window))
                return;
            ++checked;
            const QString name = control->objectName();
            const double design = designPoints(w.window, control);
            const double size = control->font().pointSizeF();
            if (QFontInfo(control->font()).family() != QLatin1String("Liberation Sans"))
                failures << name + QStringLiteral(": drawn in ") + QFontInfo(control->font()).family();
            if (size > design || size < design - 1.0)
                failures << name + QStringLiteral(": %1 pt, designed %2 pt").arg(size).arg(design);
            const QString why = misfit(control, text, box, wrap, align);
            if (!why.isEmpty())
                failures << name + QStringLiteral(" \"") + text + QStringLiteral("\" at %1 pt: ").arg(size) + why;
            if (size < design) { // each caption set smaller, with its figures
                QFont atDesign = control->font();
                atDesign.setPointSizeF(design);
                const QFontMetricsF fd(atDesign, control), fs(control->font(), control);
                qInfo("%s.%s: %g pt instead of %g pt; box %dx%d px; text %.1f px wide at %g pt, %.1f px at %g pt",
                      qPrintable(w.window->objectName()), qPrintable(name), size, design, box.width(), box.height(),
                      fd.horizontalAdvance(text), design, fs.horizontalAdvance(text), size);
            }
        };
        for (QLabel *label : w.window->findChildren<QLabel *>()) {
            const int m = label->margin();
            check(label, label->text(), label->contentsRect().adjusted(m, m, -m, -m), label->wordWrap(),
                  label->alignment());
        }
        for (QPushButton *button : w.window->findChildren<QPushButton *>()) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            check(button, withoutAccessKeys(button->text()),
                  button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button), false,
                  Qt::AlignCenter);
        }
        QVERIFY(checked >= 2);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QStringLiteral("\n"))));
        if (kind == Splash)
            frmSplash::instance()->unload();
    }
};

QTEST_MAIN(tst_CaptionFit)
#include "tst_captionfit.moc"

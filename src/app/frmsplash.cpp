#include "app/frmsplash.h"

#include "app/artwork.h"
#include "platform/fonts.h"
#include "platform/msgbox.h"
#include "platform/screenfit.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>

namespace {
QLabel *makeLabel(QWidget *parent, const char *name, int l, int t, int w, int h, const QFont &font, const QColor &color)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(vb::twipsRect(l, t, w, h));
    label->setFont(font);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAutoFillBackground(false);
    if (color.isValid()) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, color);
        label->setPalette(pal);
    }
    return label;
}
} // namespace

frmSplash *frmSplash::instance()
{
    static QPointer<frmSplash> splash;
    static bool created = false;
    if (!created) {
        created = true;
        splash = new frmSplash;
    }
    return splash.data();
}

frmSplash::frmSplash()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(vb::twipsSize(7395, 4620));

    fraMainFrame = new QFrame(this);
    fraMainFrame->setObjectName(QStringLiteral("fraMainFrame"));
    fraMainFrame->setFrameShape(QFrame::Box);
    fraMainFrame->setGeometry(vb::twipsRect(0, 0, 7380, 4590));

    // The picture is larger than the frame; the frame clips it to its upper left part.
    Image1 = new QLabel(fraMainFrame);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(vb::twipsRect(0, 0, 10395, 8655));
    // Drawn stretched to the control at the screen's pixel ratio, and only
    // the part the frame shows.
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(artwork::splashPicture(Image1->size(), devicePixelRatioF(),
                                             QRect(QPoint(0, 0), fraMainFrame->size()) & Image1->rect()));

    Label1 = makeLabel(fraMainFrame, "Label1", 1680, 600, 3855, 735,
                       vb::designFont(QStringLiteral("MS Sans Serif"), 24, true), QColor(64, 64, 64));
    Label1->setText(QStringLiteral("Now Loading...."));
    vb::fitCaption(Label1);
    lblProductName = makeLabel(fraMainFrame, "lblProductName", 2280, 1560, 4020, 825,
                               vb::designFont(QStringLiteral("Arial"), 36, true, true), QColor(128, 0, 0));
    lblVersion = makeLabel(fraMainFrame, "lblVersion", 3720, 2640, 1470, 285,
                           vb::designFont(QStringLiteral("Arial"), 12, true), QColor());
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lblVersion->setText(QStringLiteral("Version 1.0.0"));
    lblCopyright = makeLabel(fraMainFrame, "lblCopyright", 4560, 3480, 1935, 855,
                             vb::designFont(QStringLiteral("Arial"), 8.25), QColor());
    lblCopyright->setWordWrap(true);
    lblCopyright->setText(QStringLiteral("Copyright \u00A9 the MEALWISE developers. GPL 3 or later."));
    vb::fitCaption(lblCopyright);
    Label12 = makeLabel(fraMainFrame, "Label12", 120, 4080, 1935, 375, vb::designFont(QStringLiteral("Small Fonts"), 6),
                        QColor());
    Label12->setWordWrap(true);
    Label12->setText(QStringLiteral("Warning... Use at own risk. Close form to remove that risk."));
    vb::fitCaption(Label12);

    Form_Load();

    vb::centreOnScreen(this);
}

frmSplash::~frmSplash() = default;

void frmSplash::Form_Load()
{
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(MEALWISE_VERSION_MAJOR)
                            .arg(MEALWISE_VERSION_MINOR)
                            .arg(MEALWISE_VERSION_PATCH));
    lblProductName->setText(QLatin1String(vb::kProgramTitle));
    // Both labels are sized to their text, keeping their left edge.
    lblProductName->adjustSize();
    lblVersion->adjustSize();
}

void frmSplash::unload()
{
    m_unloading = true;
    close();
}

void frmSplash::closeEvent(QCloseEvent *event)
{
    // The user cannot close it; it goes when the main window has loaded.
    if (m_unloading)
        event->accept();
    else
        event->ignore();
}

#include "ui/formgg.h"

#include <QEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

#include "core/agenda.h"
#include "core/numeric.h"
#include "notify/centrewindow.h"
#include "notify/pictures.h"

namespace {

QFont SansSerif(qreal points, bool bold) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

}  // namespace

struct FormGg::Private {
    Agenda& agenda;
    qint16 previousNoticeDays;
    QLabel* shape1 = nullptr;
    QLineEdit* txtGG = nullptr;
    QPushButton* btnAnnulla = nullptr;
    QPushButton* btnOk = nullptr;
};

FormGg::FormGg(Agenda& agenda, QWidget* parent)
    : QDialog(parent), d(new Private{agenda, agenda.settings().daysOfNotice}) {
    setObjectName(QStringLiteral("FormGg"));
    setWindowTitle(QStringLiteral("Impostazione giorni preavviso"));
    setFixedSize(337, 164);
    setFont(SansSerif(8.25, false));
    // The same icon as the alarm window's.
    setWindowIcon(ProgramIcon());

    // The frame is created first so that it lies beneath the control it surrounds.
    d->shape1 = new QLabel(this);
    d->shape1->setObjectName(QStringLiteral("Shape1"));
    d->shape1->setAutoFillBackground(true);
    QPalette green = d->shape1->palette();
    green.setColor(QPalette::Window, QColor(0, 255, 0));
    d->shape1->setPalette(green);
    d->shape1->setGeometry(68, 40, 61, 33);

    auto* avvisa = new QLabel(QStringLiteral("Avvisa"), this);
    avvisa->setObjectName(QStringLiteral("Label1_0"));
    avvisa->setFont(SansSerif(8.25, true));
    avvisa->setGeometry(16, 48, 57, 17);

    d->txtGG = new QLineEdit(this);
    d->txtGG->setObjectName(QStringLiteral("TxtGG"));
    d->txtGG->setFont(SansSerif(9.75, false));
    d->txtGG->setGeometry(72, 44, 53, 23);
    d->txtGG->setAccessibleName(QStringLiteral("Avvisa giorni prima della scadenza"));

    auto* scadenza = new QLabel(QStringLiteral("giorni prima della scadenza"), this);
    scadenza->setObjectName(QStringLiteral("Label1_3"));
    scadenza->setFont(SansSerif(8.25, true));
    scadenza->setGeometry(136, 48, 177, 17);

    d->btnAnnulla = new QPushButton(QStringLiteral("&Annulla"), this);
    d->btnAnnulla->setObjectName(QStringLiteral("BtnAnnulla"));
    d->btnAnnulla->setFont(SansSerif(8.25, true));
    d->btnAnnulla->setGeometry(16, 120, 81, 29);

    d->btnOk = new QPushButton(QStringLiteral("&OK"), this);
    d->btnOk->setObjectName(QStringLiteral("BtnOk"));
    d->btnOk->setFont(SansSerif(8.25, true));
    d->btnOk->setGeometry(236, 120, 81, 29);

    // Enter must not press a button: the user confirms only by a click, the
    // Tab key or an access key.
    for (QPushButton* button : {d->btnAnnulla, d->btnOk}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    setTabOrder(d->txtGG, d->btnAnnulla);
    setTabOrder(d->btnAnnulla, d->btnOk);

    for (QWidget* w : {static_cast<QWidget*>(d->txtGG), static_cast<QWidget*>(d->btnAnnulla),
                       static_cast<QWidget*>(d->btnOk)}) {
        w->installEventFilter(this);
    }
    connect(d->btnOk, &QPushButton::clicked, this, [this] { BtnOk_Click(); });
    connect(d->btnAnnulla, &QPushButton::clicked, this, [this] { BtnAnnulla_Click(); });

    CentreWindow(*this);
    d->txtGG->setText(QString::number(d->agenda.settings().daysOfNotice));
    // The text box has the focus at opening, so the frame surrounds it even
    // before the window system delivers the first focus event.
    const QRect box = d->txtGG->geometry();
    FrameFocusedControl(box.top(), box.left(), box.height(), box.width());
    d->txtGG->setFocus(Qt::OtherFocusReason);
}

FormGg::~FormGg() {
    delete d;
}

qint16 FormGg::PreviousNoticeDays() const {
    return d->previousNoticeDays;
}

void FormGg::FrameFocusedControl(qint16 top, qint16 left, qint16 height, qint16 width) {
    d->shape1->setGeometry(left - 4, top - 4, width + 8, height + 8);
}

bool FormGg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (auto* w = qobject_cast<QWidget*>(watched)) {
            const QRect r = w->geometry();
            FrameFocusedControl(r.top(), r.left(), r.height(), r.width());
        }
    } else if (event->type() == QEvent::FocusOut && watched == d->txtGG) {
        // Switching to another window, or a popup such as the context menu,
        // is not leaving the box: half-typed text stays as it is.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            TxtGG_LostFocus();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FormGg::keyPressEvent(QKeyEvent* event) {
    // Neither Escape nor Enter closes this dialog.
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Enter:
        case Qt::Key_Return:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void FormGg::TxtGG_LostFocus() {
    const double value = NumericValue(d->txtGG->text());
    // A number too large for any reading (1E400) stays as typed, so that OK
    // reports it as out of range instead of quietly storing 0.
    if (!std::isfinite(value)) return;
    d->txtGG->setText(FormatNumber(value));
}

void FormGg::BtnOk_Click() {
    // A click normally takes the focus from the text box first; running the
    // leaving rule again covers the ways of pressing OK that do not.
    TxtGG_LostFocus();
    const std::optional<std::int16_t> days = ToInt16(NumericValue(d->txtGG->text()));
    if (!days) {
        d->agenda.dialogs().Notice(
            QStringLiteral("Il numero %1 è fuori dall'intervallo consentito: i giorni di "
                           "preavviso vanno da -32768 a 32767.")
                .arg(d->txtGG->text()),
            MsgIcon::Exclamation, QStringLiteral("GIORNI PREAVVISO"));
        d->txtGG->setFocus(Qt::OtherFocusReason);
        d->txtGG->selectAll();
        return;
    }
    d->agenda.settings().daysOfNotice = *days;
    accept();
}

void FormGg::BtnAnnulla_Click() {
    d->agenda.settings().daysOfNotice = d->previousNoticeDays;
    reject();
}

void OpenNoticeDaysDialog(Agenda& agenda, QWidget* parent) {
    const qint16 previousNoticeDays = agenda.settings().daysOfNotice;
    {
        FormGg dialog(agenda, parent);
        dialog.exec();
    }
    if (agenda.settings().daysOfNotice != previousNoticeDays) {
        agenda.saveSettings();
    }
}

#include "ui/noticedaysdialog.h"

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

QFont sansSerif(qreal points, bool bold) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

}  // namespace

struct NoticeDaysDialog::Private {
    Agenda& agenda;
    qint16 previousNoticeDays;
    QLabel* shape1 = nullptr;
    QLineEdit* daysEdit = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnOk = nullptr;
};

NoticeDaysDialog::NoticeDaysDialog(Agenda& agenda, QWidget* parent)
    : QDialog(parent), d(new Private{agenda, agenda.settings().daysOfNotice}) {
    setObjectName(QStringLiteral("FormGg"));
    setWindowTitle(QStringLiteral("Impostazione giorni preavviso"));
    setFixedSize(337, 164);
    setFont(sansSerif(8.25, false));
    // The same icon as the alarm window's.
    setWindowIcon(programIcon());

    // The frame is created first so that it lies beneath the control it surrounds.
    d->shape1 = new QLabel(this);
    d->shape1->setObjectName(QStringLiteral("Shape1"));
    d->shape1->setAutoFillBackground(true);
    QPalette green = d->shape1->palette();
    green.setColor(QPalette::Window, QColor(0, 255, 0));
    d->shape1->setPalette(green);
    d->shape1->setGeometry(68, 40, 61, 33);

    auto* noticeLabel = new QLabel(QStringLiteral("Avvisa"), this);
    noticeLabel->setObjectName(QStringLiteral("Label1_0"));
    noticeLabel->setFont(sansSerif(8.25, true));
    noticeLabel->setGeometry(16, 48, 57, 17);

    d->daysEdit = new QLineEdit(this);
    d->daysEdit->setObjectName(QStringLiteral("TxtGG"));
    d->daysEdit->setFont(sansSerif(9.75, false));
    d->daysEdit->setGeometry(72, 44, 53, 23);
    d->daysEdit->setAccessibleName(QStringLiteral("Avvisa giorni prima della scadenza"));

    auto* deadlineLabel = new QLabel(QStringLiteral("giorni prima della scadenza"), this);
    deadlineLabel->setObjectName(QStringLiteral("Label1_3"));
    deadlineLabel->setFont(sansSerif(8.25, true));
    deadlineLabel->setGeometry(136, 48, 177, 17);

    d->btnCancel = new QPushButton(QStringLiteral("&Annulla"), this);
    d->btnCancel->setObjectName(QStringLiteral("BtnAnnulla"));
    d->btnCancel->setFont(sansSerif(8.25, true));
    d->btnCancel->setGeometry(16, 120, 81, 29);

    d->btnOk = new QPushButton(QStringLiteral("&OK"), this);
    d->btnOk->setObjectName(QStringLiteral("BtnOk"));
    d->btnOk->setFont(sansSerif(8.25, true));
    d->btnOk->setGeometry(236, 120, 81, 29);

    // Enter must not press a button: the user confirms only by a click, the
    // Tab key or an access key.
    for (QPushButton* button : {d->btnCancel, d->btnOk}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    setTabOrder(d->daysEdit, d->btnCancel);
    setTabOrder(d->btnCancel, d->btnOk);

    for (QWidget* w : {static_cast<QWidget*>(d->daysEdit), static_cast<QWidget*>(d->btnCancel),
                       static_cast<QWidget*>(d->btnOk)}) {
        w->installEventFilter(this);
    }
    connect(d->btnOk, &QPushButton::clicked, this, [this] { acceptDays(); });
    connect(d->btnCancel, &QPushButton::clicked, this, [this] { cancelDays(); });

    centreWindow(*this);
    d->daysEdit->setText(QString::number(d->agenda.settings().daysOfNotice));
    // The text box has the focus at opening, so the frame surrounds it even
    // before the window system delivers the first focus event.
    const QRect box = d->daysEdit->geometry();
    frameFocusedControl(box.top(), box.left(), box.height(), box.width());
    d->daysEdit->setFocus(Qt::OtherFocusReason);
}

NoticeDaysDialog::~NoticeDaysDialog() {
    delete d;
}

qint16 NoticeDaysDialog::noticeDaysBefore() const {
    return d->previousNoticeDays;
}

void NoticeDaysDialog::frameFocusedControl(qint16 top, qint16 left, qint16 height, qint16 width) {
    d->shape1->setGeometry(left - 4, top - 4, width + 8, height + 8);
}

bool NoticeDaysDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (auto* w = qobject_cast<QWidget*>(watched)) {
            const QRect r = w->geometry();
            frameFocusedControl(r.top(), r.left(), r.height(), r.width());
        }
    } else if (event->type() == QEvent::FocusOut && watched == d->daysEdit) {
        // Switching to another window, or a popup such as the context menu,
        // is not leaving the box: half-typed text stays as it is.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            normaliseDaysText();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void NoticeDaysDialog::keyPressEvent(QKeyEvent* event) {
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

void NoticeDaysDialog::normaliseDaysText() {
    const double value = numericValueOf(d->daysEdit->text());
    // A number too large for any reading (1E400) stays as typed, so that OK
    // reports it as out of range instead of quietly storing 0.
    if (!std::isfinite(value)) return;
    d->daysEdit->setText(formatNumber(value));
}

void NoticeDaysDialog::acceptDays() {
    // A click normally takes the focus from the text box first; running the
    // leaving rule again covers the ways of pressing OK that do not.
    normaliseDaysText();
    const std::optional<std::int16_t> days = toInt16(numericValueOf(d->daysEdit->text()));
    if (!days) {
        d->agenda.dialogs().notice(
            QStringLiteral("Il numero %1 è fuori dall'intervallo consentito: i giorni di "
                           "preavviso vanno da -32768 a 32767.")
                .arg(d->daysEdit->text()),
            MsgIcon::Exclamation, QStringLiteral("GIORNI PREAVVISO"));
        d->daysEdit->setFocus(Qt::OtherFocusReason);
        d->daysEdit->selectAll();
        return;
    }
    d->agenda.settings().daysOfNotice = *days;
    accept();
}

void NoticeDaysDialog::cancelDays() {
    d->agenda.settings().daysOfNotice = d->previousNoticeDays;
    reject();
}

void openNoticeDaysDialog(Agenda& agenda, QWidget* parent) {
    const qint16 previousNoticeDays = agenda.settings().daysOfNotice;
    {
        NoticeDaysDialog dialog(agenda, parent);
        dialog.exec();
    }
    if (agenda.settings().daysOfNotice != previousNoticeDays) {
        agenda.saveSettings();
    }
}

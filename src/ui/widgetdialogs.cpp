#include "ui/widgetdialogs.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>

#include "core/dates.h"

namespace {

QMessageBox::Icon boxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void WidgetDialogs::fitInputToText(QInputDialog& dialog, const QString& text) {
    auto* field = dialog.findChild<QLineEdit*>();
    if (!field) return;
    // The text, the field's frame and margins, and room for the cursor.
    const QMargins margins = field->textMargins();
    const int frame = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int wanted = field->fontMetrics().horizontalAdvance(text) + margins.left() +
                       margins.right() + 2 * frame + 12;
    // The box around the field takes what its layout adds to the field's width.
    const int around = qMax(0, dialog.sizeHint().width() - field->sizeHint().width());
    const QScreen* screen =
        dialog.parentWidget() ? dialog.parentWidget()->screen() : QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 800;
    // The box keeps a few pixels of the screen on each side.
    const int widest = qMax(field->sizeHint().width(), screenWidth - around - 32);
    if (wanted > field->sizeHint().width()) field->setMinimumWidth(qMin(wanted, widest));
}

QString WidgetDialogs::boxTitle(const std::optional<QString>& title) {
    return title ? *title : QString::fromUtf16(kProgramTitle);
}

MsgAnswer WidgetDialogs::message(const QString& text, MsgButtons buttons, MsgIcon icon,
                                 const std::optional<QString>& title) {
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    if (buttons == MsgButtons::OkCancel) standard = QMessageBox::Ok | QMessageBox::Cancel;
    if (buttons == MsgButtons::YesNo) standard = QMessageBox::Yes | QMessageBox::No;

    QMessageBox box(boxIcon(icon), boxTitle(title), text, standard, parent_.data());
    box.setTextFormat(Qt::PlainText);  // a message is never markup
    switch (box.exec()) {
        case QMessageBox::Ok:
            return MsgAnswer::Ok;
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        default:
            // Escape or the title bar: the answer that changes nothing.
            if (buttons == MsgButtons::YesNo) return MsgAnswer::No;
            if (buttons == MsgButtons::OkCancel) return MsgAnswer::Cancel;
            return MsgAnswer::Ok;
    }
}

QString WidgetDialogs::input(const QString& prompt, const std::optional<QString>& title,
                             const QString& defaultText) {
    QInputDialog dialog(parent_.data());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(boxTitle(title));
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    fitInputToText(dialog, defaultText);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.textValue();
}

std::optional<QString> WidgetDialogs::password(const QString& prompt,
                                               const std::optional<QString>& title) {
    QInputDialog dialog(parent_.data());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setWindowTitle(boxTitle(title));
    dialog.setLabelText(prompt);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

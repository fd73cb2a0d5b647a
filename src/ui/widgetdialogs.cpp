#include "ui/widgetdialogs.h"

#include <QInputDialog>
#include <QMessageBox>

#include "core/dates.h"

namespace {

QMessageBox::Icon BoxIcon(MsgIcon icon) {
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

QString WidgetDialogs::BoxTitle(const std::optional<QString>& title) {
    return title ? *title : QString::fromUtf16(kProgramTitle);
}

MsgAnswer WidgetDialogs::Message(const QString& text, MsgButtons buttons, MsgIcon icon,
                                 const std::optional<QString>& title) {
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    if (buttons == MsgButtons::OkCancel) standard = QMessageBox::Ok | QMessageBox::Cancel;
    if (buttons == MsgButtons::YesNo) standard = QMessageBox::Yes | QMessageBox::No;

    QMessageBox box(BoxIcon(icon), BoxTitle(title), text, standard, parent_.data());
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

QString WidgetDialogs::Input(const QString& prompt, const std::optional<QString>& title,
                             const QString& defaultText) {
    QInputDialog dialog(parent_.data());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(BoxTitle(title));
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.textValue();
}

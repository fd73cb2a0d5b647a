#include "ui/cellediting.h"

#include "core/listmodel.h"
#include "core/win1252.h"

namespace cellediting {

KeyAction actionForKey(ListKind kind, int key, bool onEntry) {
    switch (key) {
        case Qt::Key_Backspace:
            return onEntry ? KeyAction::DropLastCharacter : KeyAction::None;
        case Qt::Key_Delete:
            return onEntry ? KeyAction::ClearCell : KeyAction::None;
        case Qt::Key_F5:
            return kind == ListKind::Appointments ? KeyAction::Save : KeyAction::None;
        default:
            return KeyAction::None;
    }
}

QString withoutLastCharacter(QString text) {
    text.chop(1);
    return text;
}

std::optional<QChar> typedCharacter(int charCode) {
    if ((charCode >= 32 && charCode <= 125) || (charCode >= 160 && charCode <= 255))
        return win1252::charFromByte(static_cast<unsigned char>(charCode));
    return std::nullopt;
}

bool opensMessageEditor(int charCode, int column) {
    return charCode == 13 && column == ListModel::ColMessage;
}

}  // namespace cellediting

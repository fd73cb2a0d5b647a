#pragma once

#include <QString>

#include <optional>

#include "core/listkind.h"

// What a key or a typed character does to the cell under a grid's cursor.
// The rules need no window: the grid reports the key, the window applies the
// answer to the list.
namespace cellediting {

enum class KeyAction {
    None,
    DropLastCharacter,  // Backspace, on an entry's cell
    ClearCell,          // Delete, on an entry's cell
    Save,               // F5, in the appointments
};

// onEntry: the cursor is on a cell of an entry, not on the empty list.
KeyAction actionForKey(ListKind kind, int key, bool onEntry);

// The cell text after Backspace: one character fewer, nothing from nothing.
QString withoutLastCharacter(QString text);

// The character a code types into a cell (a Windows-1252 code of the
// printable ranges 32 to 125 and 160 to 255), or none.
std::optional<QChar> typedCharacter(int charCode);

// Enter on a message cell opens the message for editing in an input box.
bool opensMessageEditor(int charCode, int column);

}  // namespace cellediting

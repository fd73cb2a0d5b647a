#pragma once

#include <QIcon>
#include <QPixmap>

// The pictures that ship inside the program.

// The program's icon, for the notification area and the windows: the same
// icon each time, made once.
QIcon programIcon();

// The assistant's own picture, shown when "img/msgbox.jpg" is missing or
// cannot be read.
QPixmap defaultAssistantPicture();

// The picture of the reminder box, 43 x 40 pixels.
QPixmap reminderBoxPicture();

// The 16 x 16 pictures of the assistant's two buttons.
QIcon assistantOkPicture();
QIcon assistantStopPicture();

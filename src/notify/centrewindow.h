#pragma once

class QWidget;

// Places a window so that its outer frame sits in the middle of the screen
// it is on (the primary screen before it is first shown).
void centreWindow(QWidget& window);

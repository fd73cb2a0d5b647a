#include "notify/centrewindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void centreWindow(QWidget& window) {
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    // Before the window is first shown the frame is not known yet: the
    // client size stands in for the outer size.
    const QSize outer = window.frameGeometry().size().expandedTo(window.size());
    window.move(area.x() + (area.width() - outer.width()) / 2,
                area.y() + (area.height() - outer.height()) / 2);
}

#include "notify/pictures.h"

// Resources compiled into a static library are only registered when asked.
static void initNotifyResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(notify);
        return true;
    }();
    Q_UNUSED(done);
}

QIcon programIcon() {
    initNotifyResources();
    QIcon icon;
    // The drawing itself is an SVG; not every installation can render one,
    // so the sizes a notification area asks for are also stored as PNG.
    for (int size : {16, 22, 32, 64})
        icon.addFile(QStringLiteral(":/notify/ricordel-%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap defaultAssistantPicture() {
    initNotifyResources();
    return QPixmap(QStringLiteral(":/notify/assistant.png"));
}

QPixmap reminderBoxPicture() {
    initNotifyResources();
    return QPixmap(QStringLiteral(":/notify/msgbox.png"));
}

QIcon assistantOkPicture() {
    initNotifyResources();
    return QIcon(QStringLiteral(":/notify/ok16.png"));
}

QIcon assistantStopPicture() {
    initNotifyResources();
    return QIcon(QStringLiteral(":/notify/stop16.png"));
}

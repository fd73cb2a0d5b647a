#include "notify/pictures.h"

#include <QCoreApplication>

// Resources compiled into a static library are only registered when asked.
static void initNotifyResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(notify);
        return true;
    }();
    Q_UNUSED(done);
}

namespace {

// The program's icon, built on first use and dropped when the application
// object goes, so that no picture outlives it.
QIcon* gProgramIcon = nullptr;

void dropProgramIcon() {
    delete gProgramIcon;
    gProgramIcon = nullptr;
}

}  // namespace

QIcon programIcon() {
    // One icon for every window: each icon built afresh would leave its
    // scaled pictures behind when its window is gone.
    if (!gProgramIcon) {
        initNotifyResources();
        gProgramIcon = new QIcon;
        // The drawing itself is an SVG; not every installation can render
        // one, so the sizes a notification area asks for are also stored as
        // PNG.
        for (int size : {16, 22, 32, 64}) {
            gProgramIcon->addFile(QStringLiteral(":/notify/ricordel-%1.png").arg(size),
                                  QSize(size, size));
        }
        qAddPostRoutine(dropProgramIcon);
    }
    return *gProgramIcon;
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

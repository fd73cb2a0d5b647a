#pragma once

#include <QMenu>
#include <QWidget>

#include <memory>

#include "core/agenda.h"
#include "notify/notifier.h"
#include "support/fakeclock.h"
#include "support/fakeplayer.h"
#include "support/faketray.h"
#include "support/scripteddialogs.h"
#include "support/scriptedpresenter.h"
#include "support/tempfolder.h"

// A notifier on a fake desktop, in a folder of its own: a fixed clock,
// scripted boxes, an icon with the tray menu mnuTray, a player that only
// logs, and the digest scripted unless `windows` asks for the real boxes.
struct NotifierRig {
    struct Options {
        bool trayAvailable = true;
        bool windows = false;
        QDateTime start = QDateTime(QDate(2026, 3, 7), QTime(8, 0));
        DesktopNotifications* notifications = nullptr;
    };

    TempFolder folder;
    FakeClock clock;
    ScriptedDialogs dialogs;
    Agenda agenda{clock, dialogs, folder.path()};
    QWidget mainWindow;
    FakeTray tray;
    QMenu mnuTray;
    ScriptedPresenter presenter;
    std::shared_ptr<PlayerLog> sounds = std::make_shared<PlayerLog>();
    std::unique_ptr<Notifier> notifier;

    NotifierRig() : NotifierRig(Options{}) {}
    explicit NotifierRig(const Options& options)
        : clock(options.start), tray(options.trayAvailable) {
        mnuTray.setObjectName("mnuTray");
        for (const char* name : {"mnuVisMess", "mnuApriMess", "mnuProva", "mnuChiudi"})
            mnuTray.addAction(QString::fromLatin1(name))->setObjectName(QString::fromLatin1(name));
        notifier = std::make_unique<Notifier>(
            agenda, &mainWindow,
            NotifierServices{&clock, &dialogs, fakePlayerFactory(sounds), &tray,
                             options.windows ? nullptr : &presenter, options.notifications});
        notifier->setTrayMenu(&mnuTray);
    }
    // Start-up without the digest: the window appears with its icon beside it.
    void showWithIcon() {
        notifier->tray().addIcon();
        mainWindow.show();
    }
    void files(const QByteArray& deadlines, const QByteArray& appointments,
               const QByteArray& anniversaries) {
        folder.write("Date.dat", deadlines);
        folder.write("Ricordel.dat", appointments);
        folder.write("Ricorrenze.dat", anniversaries);
    }
};

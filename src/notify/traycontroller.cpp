#include "notify/traycontroller.h"

#include <QMenu>
#include <QWidget>

#include "notify/pictures.h"
#include "notify/trayicon.h"

namespace {

const QString kTrayTip = QStringLiteral("Ricordel by Tobrani");

}  // namespace

TrayController::TrayController(TrayIcon* tray, QObject* parent)
    : QObject(parent), tray_(tray), menu_(new QMenu(QStringLiteral("MenuTray"))) {
    menu_->setObjectName(QStringLiteral("mnuTray"));
    const auto addItem = [this](const char* name, const QString& caption) {
        menu_->addAction(caption)->setObjectName(QString::fromLatin1(name));
    };
    const auto addSeparator = [this](const char* name) {
        QAction* separator = menu_->addSeparator();
        separator->setObjectName(QString::fromLatin1(name));
        separator->setText(QStringLiteral("-"));
    };
    addItem("mnuVisMess", QStringLiteral("&Visualizza i RICORDEL"));
    addItem("mnuApriMess", QStringLiteral("&Apri PROGRAMMA ricordel"));
    addSeparator("mnuSep");
    addItem("mnuProva", QStringLiteral("&Prova allarme"));
    addItem("mnuTraySincronizza", QStringLiteral("&Sincronizza ora"));
    addSeparator("mnuSep2");
    addItem("mnuChiudi", QStringLiteral("&Chiudi"));
    connect(menu_, &QMenu::aboutToShow, this, [this] { busy_ = true; });
    connect(menu_, &QMenu::aboutToHide, this, [this] { busy_ = runningMenuCommand_; });
    if (tray_) {
        tray_->setContextMenu(menu_);
        connect(tray_, &TrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) { activated(reason); });
    }
}

TrayController::~TrayController() {
    if (tray_) tray_->setContextMenu(nullptr);
    delete menu_.data();
}

void TrayController::setMenuCommand(const char* item, const std::function<void()>& command) {
    for (QAction* action : menu_->actions()) {
        if (action->objectName() != QLatin1String(item)) continue;
        connect(action, &QAction::triggered, this, [this, command] { runMenuCommand(command); });
    }
}

void TrayController::runMenuCommand(const std::function<void()>& command) {
    // The menu hides before its item runs: the command itself keeps the
    // icon and the menu quiet until it returns (a digest waits for the user).
    if (runningMenuCommand_) return;
    runningMenuCommand_ = true;
    busy_ = true;
    QList<QAction*> enabled;
    if (menu_) {
        for (QAction* action : menu_->actions()) {
            if (action->isEnabled()) enabled << action;
        }
        for (QAction* action : enabled) action->setEnabled(false);
    }
    command();
    for (QAction* action : enabled) {
        if (action) action->setEnabled(true);
    }
    runningMenuCommand_ = false;
    busy_ = false;
}

void TrayController::addIcon() {
    inTray_ = tray_ && tray_->isAvailable();
    if (!tray_) return;
    tray_->setIcon(programIcon());
    tray_->setToolTip(statusLine_.isEmpty() ? kTrayTip : kTrayTip + u'\n' + statusLine_);
    if (menu_) tray_->setContextMenu(menu_);
    tray_->show();
}

void TrayController::setStatusLine(const QString& line) {
    statusLine_ = line;
    if (tray_) tray_->setToolTip(line.isEmpty() ? kTrayTip : kTrayTip + u'\n' + line);
}

void TrayController::hideToTray() {
    if (tray_ && tray_->isAvailable()) {
        if (mainWindow_) mainWindow_->hide();
        inTray_ = true;
        tray_->show();
    } else if (mainWindow_) {
        // Without a notification area a hidden window could never be found
        // again: it goes to the taskbar instead.
        mainWindow_->showMinimized();
    }
}

void TrayController::openMainWindow() {
    removeIcon();
    if (!mainWindow_) return;
    mainWindow_->setWindowState(mainWindow_->windowState() & ~Qt::WindowMinimized);
    mainWindow_->show();
    mainWindow_->raise();
    mainWindow_->activateWindow();
}

void TrayController::removeIcon() {
    if (tray_) tray_->hide();
    inTray_ = false;
}

void TrayController::activated(int reason) {
    if (busy_) return;
    busy_ = true;
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
        // Some notification areas report single clicks only: a left click
        // opens the window too. The menu comes from the right button.
        case QSystemTrayIcon::Trigger:
            openMainWindow();
            break;
        default:
            break;
    }
    busy_ = false;
}

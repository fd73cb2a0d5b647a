#include "notify/programlifetime.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QSessionManager>
#include <QWidget>

#include "core/agenda.h"
#include "core/dialogs.h"

namespace {

QString closeWarning() {
#ifdef Q_OS_WIN
    return QStringLiteral(
        "Attenzione, non verranno più notificati gli appuntamenti fino al prossimo avvio di "
        "Windows");
#else
    // Elsewhere nothing starts the program again with the system: the alarms
    // come back when Ricordel is started.
    return QStringLiteral(
        "Attenzione, non verranno più notificati gli appuntamenti fino al prossimo avvio di "
        "Ricordel");
#endif
}

}  // namespace

ProgramLifetime::ProgramLifetime(Agenda& agenda, Dialogs& dialogs, QObject* parent)
    : QObject(parent), agenda_(agenda), dialogs_(dialogs) {
    agenda_.writeWhile([this] { return !writesStopped_; });
    if (qGuiApp) {
        // The main window spends most of its life hidden: closing the alarm
        // window, the last one shown, must not end the program.
        QGuiApplication::setQuitOnLastWindowClosed(false);
        qGuiApp->installEventFilter(this);
        connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
                &ProgramLifetime::onCommitDataRequest);
    }
}

ProgramLifetime::~ProgramLifetime() {
    agenda_.writeWhile({});
    if (mainWindow_) mainWindow_->removeEventFilter(this);
    if (qGuiApp) qGuiApp->removeEventFilter(this);
}

void ProgramLifetime::setMainWindow(QWidget* window) {
    if (mainWindow_) mainWindow_->removeEventFilter(this);
    mainWindow_ = window;
    if (mainWindow_) mainWindow_->installEventFilter(this);
}

void ProgramLifetime::closeProgram() {
    if (ending_) return;
    const MsgAnswer answer =
        dialogs_.message(closeWarning(), MsgButtons::OkCancel, MsgIcon::Question,
                         QStringLiteral("Conferma chiusura del programma"));
    if (answer == MsgAnswer::Cancel || ending_) return;
    if (agenda_.listsModified()) {
        const MsgAnswer save = dialogs_.message(QStringLiteral("Salvare le modifiche effettuate ?"),
                                                MsgButtons::YesNo, MsgIcon::Question, QString());
        if (ending_) return;
        if (save == MsgAnswer::Yes) {
            Q_EMIT saveAllRequested();
            // The save said why it failed; ending now would lose the edits.
            // Nothing was stopped yet: timers and icon go on as before.
            if (agenda_.listsModified()) return;
        }
    }
    endProgram();
    writesStopped_ = true;
}

void ProgramLifetime::endProgram() {
    if (ending_) return;
    // From here on the process exits: the receiver of quitRequested leaves
    // every event loop, also the nested ones of boxes, the assistant and
    // the digest that may be waiting, and they return their answer that
    // changes nothing.
    ending_ = true;
    Q_EMIT endingStarted();
    Q_EMIT quitRequested();
}

void ProgramLifetime::onCommitDataRequest(QSessionManager& manager) {
    if (!sessionEnding([&manager] { return manager.allowsInteraction(); })) manager.cancel();
}

bool ProgramLifetime::sessionEnding(const std::function<bool()>& mayAsk) {
    // Keep what was typed, without a question, so the session is not held
    // up: the session manager is asked for interaction only when the save
    // failed. The program itself goes on until the session tells it to
    // quit: a cancelled logout leaves it as it was.
    if (!agenda_.listsModified()) return true;
    Q_EMIT saveAllRequested();
    if (!agenda_.listsModified() || !mayAsk || !mayAsk()) return true;
    // The save said why it failed: the user may stay in the session rather
    // than lose the edits.
    const MsgAnswer stay = dialogs_.message(
        QStringLiteral("Le modifiche non sono state salvate. Annullare la chiusura della "
                       "sessione?"),
        MsgButtons::YesNo, MsgIcon::Question, QString());
    return stay != MsgAnswer::Yes;
}

void ProgramLifetime::terminate() {
    if (ending_) return;
    const bool unsaved = agenda_.listsModified();
    // First out of every waiting box, so that nothing can hold the ending
    // up (a box that reported a failing save would wait for a click).
    endProgram();
    if (unsaved) {
        Q_EMIT saveAllRequested();
        if (agenda_.listsModified())
            qWarning(
                "Ricordel: le modifiche non salvate sono andate perse (salvataggio non riuscito)");
    }
    // The commands that were waiting for an answer return with none: what
    // they go on to write would be half made.
    writesStopped_ = true;
}

bool ProgramLifetime::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::Quit) {
        // The session manager, or the system, asks the program to end as a
        // whole: it ends as on a termination signal, without asking the
        // windows to close (one that refused would leave the program alive
        // with its timers stopped).
        terminate();
        return true;
    } else if (watched == mainWindow_ && event->type() == QEvent::Close) {
        // The user cannot close the main window: the program lives on in the
        // notification area. Only the end of the program or of the desktop
        // session lets it close.
        if (ending_)
            event->accept();
        else
            event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

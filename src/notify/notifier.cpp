#include "notify/notifier.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>
#include <QSessionManager>
#include <QTimer>
#include <QWidget>

#include "core/agenda.h"
#include "core/clock.h"
#include "core/dialogs.h"
#include "core/settings.h"
#include "core/version.h"
#include "notify/formmsgbox.h"
#include "notify/formsiren.h"
#include "notify/logic/alarmnotice.h"
#include "notify/msgassistant.h"
#include "notify/pictures.h"
#include "notify/trayicon.h"

namespace {

const QString kTrayTip = QStringLiteral("Ricordel by Tobrani");
const QStringList kTestAlarmLines = {QStringLiteral("Smack"), QStringLiteral("to"),
                                     QStringLiteral("ZOLE")};
const QString kAssistantPicture = QStringLiteral("img/msgbox.jpg");

std::unique_ptr<SoundPlayer> newPlayer(const SoundPlayerFactory& factory) {
    return factory ? factory() : nullptr;
}

}  // namespace

QString Notifier::CaptionText(int ticks) {
    return QStringLiteral("Ricordel by Tobrani - Versione " RICORDEL_VERSION_TEXT " (%1)")
        .arg(ticks);
}

Notifier::Notifier(Agenda& agenda, QWidget* mainWindow, NotifierServices services, QObject* parent)
    : QObject(parent),
      agenda_(agenda),
      mainWindow_(mainWindow),
      services_(std::move(services)),
      timer2_(new QTimer(this)) {
    Q_ASSERT(services_.clock && services_.dialogs);
    if (services_.presenter) {
        presenter_ = services_.presenter;
    } else {
        ownPresenter_ = std::make_unique<WindowReminderPresenter>(StopReminders,
                                                                  services_.makePlayer, mainWindow);
        presenter_ = ownPresenter_.get();
    }

    // Alarms begin with the minute after the one the program starts in.
    engine_ = new AlarmEngine(*services_.clock, this);
    connect(engine_, &AlarmEngine::alarmsDue, this, &Notifier::RaiseAlarms);
    // A save of the appointments looks at the current minute again at once.
    connect(&agenda_, &Agenda::listSaved, this, [this](ListKind kind) {
        if (kind == ListKind::Appuntamenti) engine_->appointmentsSaved();
    });
    notice_ = new AlarmNotice(services_.notifications, this);

    timer2_->setObjectName(QStringLiteral("Timer2"));
    timer2_->setInterval(1000);
    connect(timer2_, &QTimer::timeout, this, &Notifier::Timer2_Timer);

    if (services_.tray) {
        connect(services_.tray, &TrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) { TrayActivated(reason); });
    }
    if (mainWindow_) mainWindow_->installEventFilter(this);
    if (qGuiApp) {
        // The main window spends most of its life hidden: closing the alarm
        // window, the last one shown, must not end the program.
        QGuiApplication::setQuitOnLastWindowClosed(false);
        qGuiApp->installEventFilter(this);
        connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &Notifier::onCommitDataRequest);
    }
}

Notifier::~Notifier() {
    if (mainWindow_) mainWindow_->removeEventFilter(this);
    if (qGuiApp) qGuiApp->removeEventFilter(this);
    delete siren_.data();
}

FormMsgAss* Notifier::Assistant() const {
    auto* windows = dynamic_cast<WindowReminderPresenter*>(presenter_);
    return windows ? windows->assistant() : nullptr;
}

void Notifier::FinishStartUp() {
    // Alarms ring from here on, also over the digest's box or the assistant.
    StartTimers();
    ShowReminders();
    if (ending_) return;  // asked to end while the digest waited
    AddTrayIcon();
}

// ---------------------------------------------------------------- digest

void Notifier::ShowReminders() {
    if (digestRunning_) return;  // a digest is already waiting for the user
    digestRunning_ = true;
    const Settings& settings = agenda_.settings();
    lastReminders_ = GatherRemindersFromFiles(services_.clock->today(), settings);
    const bool assistant = settings.NewMsg;
    if (assistant)
        presenter_->PrepareAssistant(QPixmap(QDir::current().filePath(kAssistantPicture)));

    for (const ReminderSection& section :
         PresentationOrder(lastReminders_, settings.SortAscending)) {
        for (const QString& line : section.lines) {
            if (ending_) {
                digestRunning_ = false;
                return;  // the program ends: the rest is never shown
            }
            const QString sound = settings.*(Traits(section.kind).sound);
            if (presenter_->Present(line, SoundFileExists(sound) ? sound : QString(), assistant))
                break;  // STOP ends this list only
        }
    }
    digestRunning_ = false;
}

WindowReminderPresenter::WindowReminderPresenter(bool& stopReminders, SoundPlayerFactory makePlayer,
                                                 QWidget* mainWindow)
    : stopReminders_(stopReminders), makePlayer_(std::move(makePlayer)), mainWindow_(mainWindow) {}

WindowReminderPresenter::~WindowReminderPresenter() = default;

void WindowReminderPresenter::PrepareAssistant(const QPixmap& picture) {
    if (!assistant_) assistant_ = std::make_unique<FormMsgAss>();
    assistant_->MsgAss1()->SetAssistantPicture(picture);
}

bool WindowReminderPresenter::Present(const QString& line, const QString& soundPath,
                                      bool assistant) {
    if (assistant) {
        if (!assistant_) PrepareAssistant(QPixmap());
        if (!soundPath.isEmpty()) {
            if (!assistantPlayer_) assistantPlayer_ = newPlayer(makePlayer_);
            if (assistantPlayer_) assistantPlayer_->play(soundPath);
        }
        MsgAssistant* msgAss1 = assistant_->MsgAss1();
        msgAss1->SetAssistantText(line);
        msgAss1->ShowAssistant(2);
        return msgAss1->PressedButton() == 2;
    }

    FormMsgbox box(stopReminders_, newPlayer(makePlayer_), mainWindow_);
    // Modal to the main window only, so that an alarm window opening
    // meanwhile can still be clicked to silence it.
    box.setWindowModality(mainWindow_ ? Qt::WindowModal : Qt::ApplicationModal);
    if (!soundPath.isEmpty() && box.Mp1()) box.Mp1()->play(soundPath);
    box.SetMessage(line);
    box.exec();
    return stopReminders_;
}

// ---------------------------------------------------------------- alarms

void Notifier::StartTimers() {
    timer2_->start();
    engine_->setWarningMinutes(agenda_.settings().AlarmWarningMinutes);
    engine_->setSnoozeFile(QString::fromLatin1(kSnoozeFileName));
    engine_->start();
}

void Notifier::SetAlarmWarningMinutes(int minutes) {
    engine_->setWarningMinutes(minutes);
    if (engine_->isRunning()) engine_->check();
}

void Notifier::Timer1_Timer() {
    engine_->check();
}

FormSiren* Notifier::Siren() const {
    // A closed window is gone for the alarms, though not yet destroyed.
    return siren_ && !siren_->isClosed() ? siren_.data() : nullptr;
}

FormSiren* Notifier::LoadSiren() {
    if (!Siren()) {
        siren_ = new FormSiren(newPlayer(services_.makePlayer), agenda_.settings());
        siren_->AttachNotice(notice_);
        connect(siren_, &FormSiren::snoozeRequested, engine_, &AlarmEngine::snooze);
    }
    return siren_;
}

void Notifier::RaiseAlarms(const QList<Alarm>& alarms) {
    // One batch, one update of the window: a minute with thousands of
    // appointments is shown at once.
    OpenMainWindow();
    FormSiren* siren = LoadSiren();
    siren->AddAlarms(alarms, services_.clock->now());
    siren->ShowAlarm();
}

void Notifier::TestAlarm() {
    OpenMainWindow();
    FormSiren* siren = LoadSiren();
    const QDateTime now = services_.clock->now();
    QList<Alarm> lines;
    for (const QString& line : kTestAlarmLines) lines.append({AlarmKind::Due, now, line});
    siren->SetAlarms(lines, now);
    siren->ShowAlarm();
}

// ---------------------------------------------------------------- caption

void Notifier::Timer2_Timer() {
    const QString caption = CaptionText(captionTicks_);
    if (mainWindow_) mainWindow_->setWindowTitle(caption);
    Q_EMIT captionChanged(caption);
    ++captionTicks_;
    if (captionTicks_ > 60) {
        Q_EMIT repaintColoursRequested();
        captionTicks_ = 1;
    }
}

// ---------------------------------------------------------------- tray

void Notifier::setTrayMenu(QMenu* menu) {
    trayMenu_ = menu;
    if (services_.tray) services_.tray->setContextMenu(menu);
    if (!menu) return;
    // While the menu is open, clicks on the icon wait.
    connect(menu, &QMenu::aboutToShow, this, [this] { trayBusy_ = true; });
    connect(menu, &QMenu::aboutToHide, this, [this] { trayBusy_ = runningTrayCommand_; });
    const std::pair<const char*, void (Notifier::*)()> items[] = {
        {"mnuVisMess", &Notifier::ShowReminders},
        {"mnuApriMess", &Notifier::OpenMainWindow},
        {"mnuProva", &Notifier::TestAlarm},
        {"mnuChiudi", &Notifier::Chiudi},
    };
    for (const auto& [name, command] : items) {
        for (QAction* action : menu->actions()) {
            if (action->objectName() != QLatin1String(name)) continue;
            connect(action, &QAction::triggered, this, [this, command = command] {
                RunTrayCommand([this, command] { (this->*command)(); });
            });
        }
    }
}

void Notifier::RunTrayCommand(const std::function<void()>& command) {
    // The menu hides before its item runs: the command itself keeps the
    // icon and the menu quiet until it returns (a digest waits for the user).
    if (runningTrayCommand_) return;
    runningTrayCommand_ = true;
    trayBusy_ = true;
    QList<QAction*> enabled;
    if (trayMenu_) {
        for (QAction* action : trayMenu_->actions()) {
            if (action->isEnabled()) enabled << action;
        }
        for (QAction* action : enabled) action->setEnabled(false);
    }
    command();
    for (QAction* action : enabled) {
        if (action) action->setEnabled(true);
    }
    runningTrayCommand_ = false;
    trayBusy_ = false;
}

void Notifier::AddTrayIcon() {
    TrayIcon* tray = services_.tray;
    inTray_ = tray && tray->isAvailable();
    if (!tray) return;
    tray->setIcon(ProgramIcon());
    tray->setToolTip(kTrayTip);
    if (trayMenu_) tray->setContextMenu(trayMenu_);
    tray->show();
}

void Notifier::HideToTray() {
    TrayIcon* tray = services_.tray;
    if (tray && tray->isAvailable()) {
        if (mainWindow_) mainWindow_->hide();
        inTray_ = true;
        tray->show();
    } else if (mainWindow_) {
        // Without a notification area a hidden window could never be found
        // again: it goes to the taskbar instead.
        mainWindow_->showMinimized();
    }
}

void Notifier::OpenMainWindow() {
    if (services_.tray) services_.tray->hide();
    inTray_ = false;
    if (!mainWindow_) return;
    mainWindow_->setWindowState(mainWindow_->windowState() & ~Qt::WindowMinimized);
    mainWindow_->show();
    mainWindow_->raise();
    mainWindow_->activateWindow();
}

void Notifier::TrayActivated(int reason) {
    if (trayBusy_) return;
    trayBusy_ = true;
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
        // Some notification areas report single clicks only: a left click
        // opens the window too. The menu comes from the right button.
        case QSystemTrayIcon::Trigger:
            OpenMainWindow();
            break;
        default:
            break;
    }
    trayBusy_ = false;
}

// ---------------------------------------------------------------- ending

namespace {

QString ChiudiWarning() {
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

void Notifier::Chiudi() {
    if (ending_) return;
    const MsgAnswer answer =
        services_.dialogs->Message(ChiudiWarning(), MsgButtons::OkCancel, MsgIcon::Question,
                                   QStringLiteral("Conferma chiusura del programma"));
    if (answer == MsgAnswer::Cancel || ending_) return;
    if (agenda_.ListsModified()) {
        const MsgAnswer save =
            services_.dialogs->Message(QStringLiteral("Salvare le modifiche effettuate ?"),
                                       MsgButtons::YesNo, MsgIcon::Question, QString());
        if (ending_) return;
        if (save == MsgAnswer::Yes) {
            Q_EMIT saveAllRequested();
            // The save said why it failed; ending now would lose the edits.
            // Nothing was stopped yet: timers and icon go on as before.
            if (agenda_.ListsModified()) return;
        }
    }
    endProgram();
    agenda_.StopWriting();
}

void Notifier::endProgram() {
    if (ending_) return;
    // From here on the process exits: the receiver of quitRequested leaves
    // every event loop, also the nested ones of boxes, the assistant and
    // the digest that may be waiting, and they return their answer that
    // changes nothing.
    ending_ = true;
    engine_->stop();
    engine_->stopWriting();
    timer2_->stop();
    if (services_.tray) services_.tray->hide();
    inTray_ = false;
    if (FormSiren* siren = Siren()) siren->close();
    notice_->Withdraw();
    Q_EMIT quitRequested();
}

void Notifier::onCommitDataRequest(QSessionManager& manager) {
    if (!SessionEnding([&manager] { return manager.allowsInteraction(); })) manager.cancel();
}

bool Notifier::SessionEnding(const std::function<bool()>& mayAsk) {
    // Keep what was typed, without a question, so the session is not held
    // up: the session manager is asked for interaction only when the save
    // failed. The program itself goes on until the session tells it to
    // quit: a cancelled logout leaves it as it was.
    if (!agenda_.ListsModified()) return true;
    Q_EMIT saveAllRequested();
    if (!agenda_.ListsModified() || !mayAsk || !mayAsk()) return true;
    // The save said why it failed: the user may stay in the session rather
    // than lose the edits.
    const MsgAnswer stay = services_.dialogs->Message(
        QStringLiteral("Le modifiche non sono state salvate. Annullare la chiusura della "
                       "sessione?"),
        MsgButtons::YesNo, MsgIcon::Question, QString());
    return stay != MsgAnswer::Yes;
}

void Notifier::Terminate() {
    if (ending_) return;
    const bool unsaved = agenda_.ListsModified();
    // First out of every waiting box, so that nothing can hold the ending
    // up (a box that reported a failing save would wait for a click).
    endProgram();
    if (unsaved) {
        Q_EMIT saveAllRequested();
        if (agenda_.ListsModified())
            qWarning(
                "Ricordel: le modifiche non salvate sono andate perse (salvataggio non riuscito)");
    }
    // The commands that were waiting for an answer return with none: what
    // they go on to write would be half made.
    agenda_.StopWriting();
}

bool Notifier::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::Quit) {
        // The session manager, or the system, asks the program to end as a
        // whole: it ends as on a termination signal, without asking the
        // windows to close (one that refused would leave the program alive
        // with its timers stopped).
        Terminate();
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

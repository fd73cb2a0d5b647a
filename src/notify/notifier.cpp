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
#include "notify/formmsgbox.h"
#include "notify/formsiren.h"
#include "notify/logic/alarmnotice.h"
#include "notify/msgassistant.h"
#include "notify/pictures.h"
#include "notify/trayicon.h"

namespace {

const QString kTrayTip = QStringLiteral("Ricordel by Tobrani");
const QString kTestAlarmText = QStringLiteral("Smack\r\nto\r\nZOLE");
const QString kAssistantPicture = QStringLiteral("img/msgbox.jpg");

std::unique_ptr<SoundPlayer> newPlayer(const SoundPlayerFactory& factory) {
    return factory ? factory() : nullptr;
}

}  // namespace

QString Notifier::CaptionText(int ticks) {
    return QStringLiteral("Ricordel by Tobrani - Versione %1.%2.%3 (%4)")
        .arg(RICORDEL_VERSION_MAJOR)
        .arg(RICORDEL_VERSION_MINOR)
        .arg(RICORDEL_VERSION_PATCH)
        .arg(ticks);
}

Notifier::Notifier(Agenda& agenda, QWidget* mainWindow, NotifierServices services, QObject* parent)
    : QObject(parent),
      agenda_(agenda),
      mainWindow_(mainWindow),
      services_(std::move(services)),
      timer1_(new QTimer(this)),
      timer2_(new QTimer(this)) {
    Q_ASSERT(services_.clock && services_.dialogs);
    if (services_.presenter) {
        presenter_ = services_.presenter;
    } else {
        ownPresenter_ = std::make_unique<WindowReminderPresenter>(StopReminders,
                                                                  services_.makePlayer, mainWindow);
        presenter_ = ownPresenter_.get();
    }

    // Alarms begin with the minute after the one the program starts in;
    // the minutes the start-up digest keeps the user busy are caught up.
    scheduler_.Seed(services_.clock->now());
    notice_ = new AlarmNotice(services_.notifications, *services_.clock, this);

    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setSingleShot(true);
    timer1_->setTimerType(Qt::PreciseTimer);
    connect(timer1_, &QTimer::timeout, this, &Notifier::Timer1_Timer);

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
    ShowReminders();
    StartTimers();
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
            if (ending_) break;
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
    Timer1_Timer();  // catches up at once and arms the timer for the next minute
}

void Notifier::Timer1_Timer() {
    const QList<MinuteScheduler::Minute> minutes =
        scheduler_.MinutesToCheck(services_.clock->now());
    for (const MinuteScheduler::Minute& minute : minutes) {
        const QStringList due =
            appointments_.IndexFor(minute.day).MessagesAt(minute.day, minute.time);
        for (const QString& message : due) RaiseAlarm(message);
    }
    if (timer2_->isActive() || timer1_->isActive()) ArmAlarmTimer();
}

int Notifier::msecsToNextCheck() const {
    return MinuteScheduler::MsecsToNextMinute(services_.clock->now());
}

void Notifier::ArmAlarmTimer() {
    timer1_->start(msecsToNextCheck());
}

FormSiren* Notifier::Siren() const {
    // A closed window is gone for the alarms, though not yet destroyed.
    return siren_ && !siren_->isClosed() ? siren_.data() : nullptr;
}

FormSiren* Notifier::LoadSiren() {
    if (!Siren()) {
        siren_ = new FormSiren(newPlayer(services_.makePlayer), agenda_.settings());
        siren_->AttachNotice(notice_);
    }
    return siren_;
}

void Notifier::RaiseAlarm(const QString& message) {
    OpenMainWindow();
    FormSiren* siren = LoadSiren();
    siren->AppendLine(message);
    siren->ShowAlarm();
}

void Notifier::TestAlarm() {
    OpenMainWindow();
    FormSiren* siren = LoadSiren();
    siren->SetText(kTestAlarmText);
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
    if (menu) {
        // While the menu is open, clicks on the icon wait.
        connect(menu, &QMenu::aboutToShow, this, [this] { trayBusy_ = true; });
        connect(menu, &QMenu::aboutToHide, this, [this] { trayBusy_ = false; });
    }
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

void Notifier::Chiudi() {
    const MsgAnswer answer = services_.dialogs->Message(
        QStringLiteral("Attenzione, non verranno più notificati gli appuntamenti fino al "
                       "prossimo avvio di Windows"),
        MsgButtons::OkCancel, MsgIcon::Question, QStringLiteral("Conferma chiusura del programma"));
    if (answer == MsgAnswer::Cancel) return;
    if (agenda_.ListsModified()) {
        const MsgAnswer save =
            services_.dialogs->Message(QStringLiteral("Salvare le modifiche effettuate ?"),
                                       MsgButtons::YesNo, MsgIcon::Question, QString());
        if (save == MsgAnswer::Yes) {
            Q_EMIT saveAllRequested();
            // The save said why it failed; ending now would lose the edits.
            if (agenda_.ListsModified()) return;
        }
    }
    endProgram();
}

void Notifier::endProgram() {
    ending_ = true;
    timer1_->stop();
    timer2_->stop();
    if (services_.tray) services_.tray->hide();
    inTray_ = false;
    if (FormSiren* siren = Siren()) siren->close();
    notice_->Withdraw();
    Q_EMIT quitRequested();
}

void Notifier::onCommitDataRequest(QSessionManager& manager) {
    Q_UNUSED(manager);
    SessionEnding();
}

void Notifier::SessionEnding() {
    // Keep what was typed, and let the windows close so the session is not
    // held up.
    if (agenda_.ListsModified()) Q_EMIT saveAllRequested();
    ending_ = true;
}

void Notifier::Terminate() {
    SessionEnding();
    endProgram();
}

bool Notifier::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::Quit) {
        // The program is asked to end as a whole (by our own "&Chiudi", or
        // by the session manager): let the windows close.
        ending_ = true;
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

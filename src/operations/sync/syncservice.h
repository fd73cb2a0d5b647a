#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

#include "operations/sync/syncengine.h"
#include "operations/sync/syncstore.h"

class Agenda;
class CalendarServer;
class Dialogs;
class EventCodec;
class PasswordStore;
class QNetworkAccessManager;

// The sync as the program runs it: the account, its password, the store,
// and when a pass runs. Once the lists are loaded (start()), a pass runs
// at once, every five minutes, a few seconds after each save of the lists,
// when the network comes back and when the user asks ("Sincronizza ora").
// All of it is asynchronous: the alarms, the window and the ending never
// wait for the server. A box shows only the outcome of a sync the user
// asked for; otherwise the status line (statusChanged) says how it went.
class SyncService : public QObject {
    Q_OBJECT
  public:
    static constexpr int kPeriodMs = 5 * 60 * 1000;
    static constexpr int kAfterSaveMs = 5000;

    // `taskProgram` reads the server's objects in an isolated task (this
    // program). The network and the password store are not owned.
    SyncService(Agenda& agenda, PasswordStore& passwords, QNetworkAccessManager* network,
                const QString& taskProgram, QObject* parent = nullptr);
    ~SyncService() override;

    // Opens the store of the data folder and, with an account, runs the
    // first pass and starts the timers. A store that cannot be opened is
    // said in the status line, never in a box.
    void start();
    // One pass now; `asked`: the user asked, and sees the outcome in a box.
    void syncNow(bool asked);
    // Sets the account up, or changes it, and runs a pass: a new calendar
    // starts from a store without records (a first sync pairs by content).
    // Returns why the account could not be kept, in Italian.
    std::optional<QString> setAccount(const SyncAccountSettings& account, const QString& password);
    // Turns the sync off: forgets the account, its password and the records.
    void turnOff();
    // The program ends: no more passes; one running stops where it is.
    void stop();

    std::optional<SyncAccountSettings> account() const;
    QString password() const { return password_; }
    bool isRunning() const;
    QString statusLine() const { return status_; }
    // Changes to the lists wait while this says no.
    void setApplyGate(std::function<bool()> gate);
    // For the tests: the server and the reader to use instead of a CalDAV
    // client and the isolated task.
    void useServer(CalendarServer* server, EventCodec* codec);

  Q_SIGNALS:
    void statusChanged(const QString& line);
    void finished(const SyncReport& report);

  private:
    void makeEngine();
    void dropEngine();
    void withPassword(std::function<void()> then);
    void onFinished(const SyncReport& report);
    void setStatus(const QString& line);
    void watchNetwork();

    Agenda& agenda_;
    PasswordStore& passwords_;
    QNetworkAccessManager* network_;
    QString taskProgram_;
    SyncStore store_;
    std::unique_ptr<CalendarServer> client_;
    std::unique_ptr<EventCodec> codec_;
    CalendarServer* testServer_ = nullptr;
    EventCodec* testCodec_ = nullptr;
    std::unique_ptr<SyncEngine> engine_;
    std::function<bool()> gate_;
    QString password_;
    bool havePassword_ = false;
    bool askedForPassword_ = false;
    bool passwordRejected_ = false;  // the server answered 401 to it
    bool started_ = false;
    bool stopped_ = false;
    bool watchingNetwork_ = false;
    bool asked_ = false;  // the running pass was asked for by the user
    bool again_ = false;  // a save came while a pass ran
    QTimer period_;
    QTimer afterSave_;
    QString status_;
};

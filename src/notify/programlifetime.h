#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class Agenda;
class Dialogs;
class QSessionManager;
class QWidget;

// How the program ends: "&Chiudi" with its questions, the end of the desktop
// session, and a request from the system (a termination signal, the session
// manager's quit). Until the program ends, close requests on the main window
// are refused: the program lives on in the notification area.
class ProgramLifetime : public QObject {
    Q_OBJECT
  public:
    // Files of the agenda are written only until the program ends.
    ProgramLifetime(Agenda& agenda, Dialogs& dialogs, QObject* parent = nullptr);
    ~ProgramLifetime() override;

    // "&Chiudi": asks for confirmation, offers to save unsaved edits, then ends.
    void closeProgram();

    // The desktop session is about to end: unsaved edits are saved without
    // a question. Only when that save fails is `mayAsk` called, to learn
    // whether the user may be asked; returns false when the user, asked,
    // chose to stay in the session.
    bool sessionEnding(const std::function<bool()>& mayAsk = {});

    // The system asks the program to end: every waiting box is left,
    // unsaved edits are saved without a question, and the program ends.
    void terminate();

    // True once the program has decided to end: the process exits as soon
    // as the calls under way return, and close requests are let through.
    bool isEnding() const { return ending_; }

    // The main window, whose close requests are refused until the end; null
    // while there is none.
    void setMainWindow(QWidget* window);

  Q_SIGNALS:
    // The program ends now: timers, alarms and the icon are to stop.
    void endingStarted();
    // The three lists are to be saved now, as the save command does; the
    // receiver must finish before returning.
    void saveAllRequested();
    // The program is to end now: every event loop is to be left at once,
    // nested ones included.
    void quitRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void endProgram();
    void onCommitDataRequest(QSessionManager& manager);

    Agenda& agenda_;
    Dialogs& dialogs_;
    QPointer<QWidget> mainWindow_;
    bool ending_ = false;
    // Once the commands under way at the end can only return, nothing more
    // is written.
    bool writesStopped_ = false;
};

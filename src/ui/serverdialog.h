#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>

#include "operations/sync/syncstore.h"

class Dialogs;
class QNetworkAccessManager;

// "Calendario sul server" (FormServer): the server's address, the user name
// and the password; "Prova" finds the calendars (or takes a calendar's own
// address) and lets the user choose one or create one named "Ricordel".
// Questions (a certificate the system does not trust, plain http to another
// machine) go through `dialogs`. The dialog writes nothing: its outcome
// says what the user chose, and the program keeps it.
class ServerDialog : public QDialog {
    Q_OBJECT
  public:
    struct Outcome {
        enum class Choice { Cancelled, Saved, TurnedOff };
        Choice choice = Choice::Cancelled;
        SyncAccountSettings account;  // Saved: the calendar chosen and how to reach it
        QString password;             // Saved
    };

    ServerDialog(QNetworkAccessManager* network, Dialogs& dialogs,
                 const std::optional<SyncAccountSettings>& current, const QString& password,
                 QWidget* parent = nullptr);
    ~ServerDialog() override;

    Outcome outcome() const;

  private:
    struct Private;
    std::unique_ptr<Private> d;
};

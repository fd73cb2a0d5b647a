#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class QLocalServer;
class QLocalSocket;

// One running copy per data folder. The first copy holds a lock file in the
// folder (a lock left behind by a copy that crashed is taken over) and
// listens on a local socket named after the folder, its channel; a second
// start finds the lock held, asks the first copy over the channel to show
// its main window (or to import a calendar file), and gives up.
//
// On Unix the channel lives in the user's private runtime folder:
// $XDG_RUNTIME_DIR when that is a folder of this user that nobody else may
// enter, else a folder "ricordel-<uid>" of mode 0700 in the temporary folder,
// made when missing. A runtime folder of another user, or one others may
// enter, is never used. Each side checks the user id of the other end
// (SO_PEERCRED) before it sends or reads anything, and a channel name taken
// by another user is left alone: that copy runs without a channel and says
// why in channelProblem().
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // `folder` is the data folder, normally the current folder at start.
    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Outcome {
        First,           // this copy holds the folder (and listens, if it can)
        AlreadyRunning,  // another live copy holds it
    };

    // Takes the folder. When the lock cannot even be created (a read-only
    // folder) the copy runs alone all the same: it could not lose data there.
    Outcome acquire();

    enum class Delivery {
        Delivered,  // written to the running copy
        NoAnswer,   // nobody answered on the channel
        Refused,    // the channel is not this user's: nothing was sent
    };
    // From a second copy: asks the running one to show its main window.
    Delivery askRunningCopyToShow(int timeoutMs = 3000);
    // From "--sync": asks the running copy to sync with the server now.
    Delivery askRunningCopyToSync(int timeoutMs = 3000);
    // From a second copy: hands a calendar file to the running one, which
    // offers its events for the lists. A relative path is taken from this
    // copy's current folder. A path too long for a request is not sent.
    Delivery askRunningCopyToImport(const QString& path, int timeoutMs = 3000);

    // The channel's name for a folder: a hash of its canonical path, so that
    // every way of naming the folder meets the same copy and the name stays
    // short enough for a socket path.
    static QString serverName(const QString& folder);
    // The lock file's name in the data folder.
    static QString lockFileName();

    bool listening() const;
    // Where the channel is (on Unix the socket's path); empty when no
    // private runtime folder could be had.
    QString channelPath() const { return channelPath_; }
    // Why the channel cannot be used, as a sentence for the user: after
    // acquire(), why this copy cannot receive files from a new start; after
    // a Refused delivery, why nothing was sent. Empty when all is well.
    QString channelProblem() const { return channelProblem_; }

    // How long a connection may stay open without a whole request, and how
    // many may wait at once; connections beyond that are closed unread.
    void setRequestDeadline(std::chrono::milliseconds deadline) { requestDeadline_ = deadline; }
    static constexpr int kMaxWaitingConnections = 8;

  Q_SIGNALS:
    // A second copy asked for the main window.
    void showRequested();
    // A second copy handed over a calendar file (an absolute path).
    void importRequested(const QString& path);
    // A second copy asked for a sync with the calendar server.
    void syncRequested();

  private:
    void openChannel();
    void onNewConnection();
    void readRequest(QLocalSocket* socket);
    Delivery send(const QByteArray& request, int timeoutMs);

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
    QString channelPath_;
    QString channelProblem_;
    std::chrono::milliseconds requestDeadline_{5000};
    int waiting_ = 0;
};

#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

// One running copy per data folder. The first copy holds a lock file in the
// folder (a lock left behind by a copy that crashed is taken over) and
// listens on a local socket named after the folder; a second start finds the
// lock held, asks the first copy to show its main window (or to import a
// calendar file), and gives up.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // `folder` is the data folder, normally the current folder at start.
    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Outcome {
        First,           // this copy holds the folder and listens for others
        AlreadyRunning,  // another live copy holds it
    };

    // Takes the folder. When the lock cannot even be created (a read-only
    // folder) the copy runs alone all the same: it could not lose data there.
    Outcome acquire();

    // From a second copy: asks the running one to show its main window.
    // Returns whether the request was delivered.
    bool askRunningCopyToShow(int timeoutMs = 3000);
    // From a second copy: hands a calendar file to the running one, which
    // offers its events for the lists. A relative path is taken from this
    // copy's current folder.
    bool askRunningCopyToImport(const QString& path, int timeoutMs = 3000);

    // The socket name for a folder: a hash of its canonical path, so that
    // every way of naming the folder meets the same copy and the name stays
    // short enough for a socket path.
    static QString serverName(const QString& folder);
    // The lock file's name in the data folder.
    static QString lockFileName();

    bool listening() const;

  Q_SIGNALS:
    // A second copy asked for the main window.
    void showRequested();
    // A second copy handed over a calendar file (an absolute path).
    void importRequested(const QString& path);

  private:
    void onNewConnection();
    bool send(const QByteArray& request, int timeoutMs);

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGHUP, which a desktop session sends its programs as it
// ends, into a signal on the user-interface thread, so unsaved edits can be
// saved before the program ends. Only one watcher may exist at a time; where
// the system has no such signals it never fires.
class TerminationWatcher : public QObject {
    Q_OBJECT
  public:
    explicit TerminationWatcher(QObject* parent = nullptr);
    ~TerminationWatcher() override;

    bool isActive() const { return notifier_ != nullptr; }

  Q_SIGNALS:
    void terminationRequested();

  private:
    void onReadable();
    QSocketNotifier* notifier_ = nullptr;
};

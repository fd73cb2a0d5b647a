#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <optional>

// Work on data from outside (a calendar file, later a server's answer) that
// runs in a process of its own, so that a fault of the library that reads
// it (a crash, a loop that never ends, a memory bomb) ends that process and
// never the program. The program starts a copy of itself with
// kIsolatedTaskOption and the task's name, writes the data to its standard
// input and takes back only what the task writes to its standard output,
// within limits of time, memory and size.
//
// The task reports how far it has come with lines "ricordel-progress N"
// (N from 0 to 1000) on its standard error; anything else there is ignored.

inline constexpr char kIsolatedTaskOption[] = "--isolated-task";

class IsolatedTask : public QObject {
    Q_OBJECT
  public:
    struct Limits {
        int timeMs = 60000;                       // wall-clock time, from the start
        qint64 memoryBytes = 1024 * 1024 * 1024;  // address space of the process
        qint64 outputBytes = 64 * 1024 * 1024;    // what it may write back
    };

    enum class Failure {
        CouldNotStart,  // the program could not be started
        TimedOut,       // it ran past its time
        Crashed,        // it ended by a signal or with an error code
        TooMuchOutput,  // it wrote more than its limit
    };
    Q_ENUM(Failure)

    // `program`: the executable that runs the tasks, normally this program.
    explicit IsolatedTask(const QString& program, QObject* parent = nullptr);
    ~IsolatedTask() override;

    // Starts `task` with its arguments and data; a task still running is
    // stopped first. Ends in finished() or failed(), never both, unless
    // cancel() comes first: then in neither.
    void start(const QString& task, const QStringList& arguments, const QByteArray& input,
               const Limits& limits);
    void cancel();
    bool isRunning() const;

    // Italian words for a failure, to follow "il file non si è potuto leggere".
    static QString describe(Failure failure);

  Q_SIGNALS:
    void progressed(int permille);
    void finished(const QByteArray& output);
    void failed(IsolatedTask::Failure failure);

  private:
    void readOutput();
    void readErrors();
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void fail(Failure failure);

    QString program_;
    QProcess* process_ = nullptr;
    QTimer deadline_;
    Limits limits_;
    QByteArray output_;
    QByteArray errors_;
    bool tooMuch_ = false;
};

// In the task's process: what the task reads and how it reports.
namespace isolatedtask {

// Reads standard input whole, up to `maxBytes`; nothing when there is more.
std::optional<QByteArray> readInput(std::FILE* in, qint64 maxBytes);
// Writes a progress line to standard error, when it changed.
void reportProgress(int permille);

}  // namespace isolatedtask

#include "core/isolatedtask.h"

#include <QDir>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>

#include <csignal>
#endif

namespace {

// A sanitizer reserves terabytes of address space for its shadow memory:
// under one, an address-space limit would stop the task before it starts.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceCanBeLimited = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || \
    __has_feature(thread_sanitizer)
constexpr bool kAddressSpaceCanBeLimited = false;
#else
constexpr bool kAddressSpaceCanBeLimited = true;
#endif
#else
constexpr bool kAddressSpaceCanBeLimited = true;
#endif

const QByteArray kProgressPrefix = QByteArrayLiteral("ricordel-progress ");
// Longer lines on standard error are no progress report: dropped unread.
constexpr qsizetype kMaxErrorLine = 256;

}  // namespace

IsolatedTask::IsolatedTask(const QString& program, QObject* parent)
    : QObject(parent), program_(program) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { fail(Failure::TimedOut); });
}

IsolatedTask::~IsolatedTask() {
    cancel();
}

bool IsolatedTask::isRunning() const {
    return process_ != nullptr;
}

void IsolatedTask::start(const QString& task, const QStringList& arguments, const QByteArray& input,
                         const Limits& limits) {
    cancel();
    limits_ = limits;
    output_.clear();
    errors_.clear();
    tooMuch_ = false;
    process_ = new QProcess(this);
    process_->setProgram(program_);
    process_->setArguments(QStringList{QString::fromLatin1(kIsolatedTaskOption), task} + arguments);
    // Nothing the task might leave behind (a core file) lands in the data folder.
    process_->setWorkingDirectory(QDir::tempPath());
#ifdef Q_OS_UNIX
    const qint64 memory = limits.memoryBytes;
    process_->setChildProcessModifier([memory] {
        // Between fork and exec: only calls that are safe there.
        rlimit none{0, 0};
        ::setrlimit(RLIMIT_CORE, &none);
        if (kAddressSpaceCanBeLimited && memory > 0) {
            rlimit space{static_cast<rlim_t>(memory), static_cast<rlim_t>(memory)};
            ::setrlimit(RLIMIT_AS, &space);
        }
#ifdef Q_OS_LINUX
        // The task ends with the program, whatever way the program ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    });
#endif
    connect(process_, &QProcess::readyReadStandardOutput, this, &IsolatedTask::readOutput);
    connect(process_, &QProcess::readyReadStandardError, this, &IsolatedTask::readErrors);
    connect(process_, &QProcess::finished, this, &IsolatedTask::onFinished);
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) fail(Failure::CouldNotStart);
    });
    process_->start(QIODevice::ReadWrite);
    if (!process_) return;  // failed to start, already reported
    process_->write(input);
    process_->closeWriteChannel();
    deadline_.start(limits.timeMs);
}

void IsolatedTask::cancel() {
    deadline_.stop();
    if (!process_) return;
    QProcess* process = process_;
    process_ = nullptr;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(5000);
    }
    process->deleteLater();
}

void IsolatedTask::fail(Failure failure) {
    cancel();
    Q_EMIT failed(failure);
}

void IsolatedTask::readOutput() {
    if (!process_) return;
    const QByteArray chunk = process_->readAllStandardOutput();
    if (tooMuch_) return;
    if (output_.size() + chunk.size() > limits_.outputBytes) {
        tooMuch_ = true;
        output_.clear();
        fail(Failure::TooMuchOutput);
        return;
    }
    output_ += chunk;
}

void IsolatedTask::readErrors() {
    if (!process_) return;
    errors_ += process_->readAllStandardError();
    int latest = -1;
    qsizetype start = 0;
    for (qsizetype end; (end = errors_.indexOf('\n', start)) >= 0; start = end + 1) {
        const QByteArrayView line(errors_.constData() + start, end - start);
        if (!line.startsWith(kProgressPrefix)) continue;
        bool ok = false;
        const int value = line.sliced(kProgressPrefix.size()).toInt(&ok);
        if (ok && value >= 0 && value <= 1000) latest = value;
    }
    errors_.remove(0, start);
    if (errors_.size() > kMaxErrorLine) errors_.clear();
    if (latest >= 0) Q_EMIT progressed(latest);
}

void IsolatedTask::onFinished(int exitCode, QProcess::ExitStatus status) {
    if (!process_) return;
    readOutput();
    if (!process_) return;  // the output passed its limit
    const bool ok = status == QProcess::NormalExit && exitCode == 0;
    QByteArray output = std::move(output_);
    output_.clear();
    cancel();
    if (ok)
        Q_EMIT finished(output);
    else
        Q_EMIT failed(Failure::Crashed);
}

QString IsolatedTask::describe(Failure failure) {
    switch (failure) {
        case Failure::CouldNotStart:
            return QStringLiteral("non è stato possibile avviare la lettura");
        case Failure::TimedOut:
            return QStringLiteral("la lettura ha superato il tempo massimo");
        case Failure::Crashed:
            return QStringLiteral("la lettura si è interrotta per un errore");
        case Failure::TooMuchOutput:
            return QStringLiteral("il contenuto letto supera i limiti");
    }
    return {};
}

namespace isolatedtask {

std::optional<QByteArray> readInput(std::FILE* in, qint64 maxBytes) {
    QByteArray bytes;
    char chunk[64 * 1024];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, in);
        if (n == 0) break;
        if (bytes.size() + static_cast<qint64>(n) > maxBytes) return std::nullopt;
        bytes.append(chunk, static_cast<qsizetype>(n));
    }
    if (std::ferror(in)) return std::nullopt;
    return bytes;
}

void reportProgress(int permille) {
    static int last = -1;
    if (permille == last) return;
    last = permille;
    std::fprintf(stderr, "ricordel-progress %d\n", permille);
    std::fflush(stderr);
}

}  // namespace isolatedtask

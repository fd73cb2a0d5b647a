#pragma once

// Another local user at the far end of a local socket, for tests run as
// root: a forked child that takes the user id 65534 ("nobody") before it
// listens or connects, so that SO_PEERCRED on our side reports that user.
// The child makes only system calls between fork() and _exit().
#include <QByteArray>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>

class ForeignPeer {
  public:
    static constexpr uid_t kUid = 65534;
    // Only root can act as another user.
    static bool available() { return ::geteuid() == 0; }

    ForeignPeer() = default;
    ForeignPeer(const ForeignPeer&) = delete;
    ForeignPeer& operator=(const ForeignPeer&) = delete;
    ~ForeignPeer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        closeFd(control_);
        closeFd(result_);
    }

    // Listens on `path` as the other user until finish(). The socket file
    // is made by root (as in a folder root may write to) and then given to
    // `fileOwner`. Returns once the socket listens.
    bool listen(const QString& path, uid_t fileOwner) {
        sockaddr_un address{};
        if (!fillAddress(path, address)) return false;
        return start([&] {
            const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                ::lchown(address.sun_path, fileOwner, fileOwner) != 0 || !becomeOtherUser(false) ||
                ::listen(s, 16) != 0)
                return false;
            report("ready\n");
            ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) | O_NONBLOCK);
            pollfd fds[2] = {{s, POLLIN, 0}, {control_, POLLIN, 0}};
            for (bool ending = false; !ending;) {
                if (::poll(fds, 2, -1) < 0) return false;
                // Once told to end, the connections still waiting are taken too.
                ending = fds[1].revents != 0;
                for (int c; (c = ::accept(s, nullptr, nullptr)) >= 0; ::close(c)) {
                    ++seen_.connections;
                    seen_.bytes += readUntilClosed(c);
                }
            }
            return true;
        });
    }

    // Connects to `path` as the other user (keeping root's access to
    // files, so that a private folder does not stop it first), writes
    // `bytes` and reads until the far end closes.
    bool connectAndWrite(const QString& path, const QByteArray& bytes) {
        sockaddr_un address{};
        if (!fillAddress(path, address)) return false;
        return start([&] {
            const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (s < 0 || !becomeOtherUser(true) ||
                ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
                return false;
            ++seen_.connections;
            // Sent before the test goes on, so before our side can close.
            if (::send(s, bytes.constData(), bytes.size(), MSG_NOSIGNAL) != bytes.size())
                return false;
            report("ready\n");
            seen_.bytes = readUntilClosed(s);
            return true;
        });
    }

    struct Seen {
        int connections = 0;
        long long bytes = 0;  // read from our side; -1: our side never closed
    };
    // For a listener: ends it and tells what it was sent. For a connection:
    // waits until our side has closed it. Events are handled meanwhile, so
    // that our side of the socket works.
    std::optional<Seen> finish() {
        closeFd(control_);
        QEventLoop loop;
        QSocketNotifier notifier(result_, QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
        char text[128] = {};
        const ssize_t got = ::read(result_, text, sizeof text - 1);
        int status = 0;
        if (::waitpid(pid_, &status, got > 0 ? 0 : WNOHANG) == pid_) pid_ = -1;
        Seen seen;
        if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
            std::sscanf(text, "%d %lld", &seen.connections, &seen.bytes) != 2)
            return std::nullopt;
        return seen;
    }

  private:
    static void closeFd(int& fd) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }

    static bool fillAddress(const QString& path, sockaddr_un& address) {
        const QByteArray name = QFile::encodeName(path);
        if (name.size() >= qsizetype(sizeof address.sun_path)) return false;
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.constData(), name.size());
        return true;
    }

    // keepFileAccess: the effective user changes and the file-system user
    // stays root.
    static bool becomeOtherUser(bool keepFileAccess) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kUid, kUid, kUid) != 0) return false;
        if (!keepFileAccess) return ::setresuid(kUid, kUid, kUid) == 0;
        if (::setresuid(kUid, kUid, 0) != 0) return false;
        ::setfsuid(0);
        return ::setfsuid(0) == 0;
    }

    // Bytes read until the other end closes; -1 when it stays open 20 s.
    static long long readUntilClosed(int fd) {
        long long total = 0;
        char buffer[4096];
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, 20000) > 0) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) return total;
            total += n;
        }
        return -1;
    }

    void report(const char* text) const {
        if (::write(result_, text, std::strlen(text)) < 0) _exit(3);
    }

    template <typename Body>
    bool start(Body body) {
        int control[2];
        int result[2];
        if (::pipe(control) != 0) return false;
        if (::pipe(result) != 0) return false;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(control[1]);
            ::close(result[0]);
            control_ = control[0];
            result_ = result[1];
            if (!body()) _exit(2);
            char line[64];
            const int n =
                std::snprintf(line, sizeof line, "%d %lld\n", seen_.connections, seen_.bytes);
            if (::write(result_, line, n) != n) _exit(3);
            _exit(0);
        }
        ::close(control[0]);
        ::close(result[1]);
        control_ = control[1];
        result_ = result[0];
        if (pid_ < 0) return false;
        // Wait for the child to listen or connect.
        char ready[6] = {};
        pollfd p{result_, POLLIN, 0};
        return ::poll(&p, 1, 30000) > 0 && ::read(result_, ready, 6) == 6 &&
               std::memcmp(ready, "ready\n", 6) == 0;
    }

    pid_t pid_ = -1;
    int control_ = -1;
    int result_ = -1;
    Seen seen_;  // the child's own count
};

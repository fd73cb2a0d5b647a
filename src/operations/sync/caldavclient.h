#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

// Why a request to the calendar server did not succeed.
struct ServerFailure {
    enum class Kind {
        Unreachable,   // no connection (name not found, refused, network down)
        TimedOut,      // no answer within the time-out
        Unauthorized,  // 401: wrong user name or password
        Forbidden,     // 403: no rights on the calendar
        NotFound,      // 404: the calendar is gone
        Full,          // 507: the server has no room
        Untrusted,     // a TLS certificate the system does not trust, not confirmed
        InsecureHttp,  // plain http:// to another machine, not confirmed
        Changed,       // 412: the object changed on the server since its ETag
        BadAnswer,     // an answer that does not read as CalDAV, or too large
        Other,         // any other HTTP status
    };
    Kind kind = Kind::Other;
    int httpStatus = 0;
    QString detail;  // what the server or the network said, for the report
    // Untrusted only: the certificate's SHA-256 fingerprint (hex, upper case,
    // bytes separated by ':') and a short description (subject, issuer,
    // validity) for the question the user answers.
    QString fingerprint;
    QString certificateText;
};

// One line in Italian: "password non accettata dal server (401)".
QString describeFailure(const ServerFailure& failure);

// Where the agenda is kept on the server and how to reach it. The password
// lives only in memory and in the desktop's keyring.
struct ServerAccount {
    QUrl calendar;  // the calendar collection (ends with '/'), or a server's root
    QString user;
    QString password;
    QString trustedFingerprint;       // a certificate the user confirmed for this server
    bool plainHttpConfirmed = false;  // http:// to another machine, confirmed by the user
};

// Whether `url` may be used without asking: https, or http to this machine
// (localhost, 127.0.0.0/8, ::1).
bool isSafeWithoutAsking(const QUrl& url);

// What changed in the calendar since a sync token.
struct EventListing {
    // True when `changed` holds every calendar object with its ETag (no
    // token, a token the server no longer knows, or a server without
    // sync-collection): an href known before and missing here is gone.
    bool complete = false;
    QHash<QString, QByteArray> changed;  // href (path, as the server names it) -> ETag
    QStringList removed;                 // hrefs reported gone (never when complete)
    QByteArray token;                    // the token to ask with next time; empty: none
};

struct FetchedEvent {
    QString href;
    QByteArray etag;
    QByteArray ics;  // the calendar object as the server keeps it
};

// The calendar as the sync sees it. Every call answers once, later, through
// its callback (never inside the call itself), with a failure or a value.
class CalendarServer {
  public:
    template <class T>
    using Reply = std::function<void(const std::optional<ServerFailure>& failure, const T& value)>;

    virtual ~CalendarServer() = default;

    // With a token, what changed since it (REPORT sync-collection, RFC 6578);
    // without one, or when the server does not support it or no longer
    // knows the token, every object with its ETag (complete).
    virtual void listChanges(const QByteArray& token, Reply<EventListing> reply) = 0;
    // The objects at `hrefs` (calendar-multiget, in several requests when
    // many); an href no longer there is left out of the answer.
    virtual void fetch(const QStringList& hrefs, Reply<QList<FetchedEvent>> reply) = 0;
    // Writes an object: with `ifMatch`, only over that ETag (If-Match);
    // without, only where nothing is (If-None-Match: *). The value is the
    // new ETag when the server gave one, else empty. A 412 is Changed.
    virtual void put(const QString& href, const QByteArray& ics, const QByteArray& ifMatch,
                     Reply<QByteArray> reply) = 0;
    // Deletes an object, only over `ifMatch` when given; an object already
    // gone (404) is a success.
    virtual void remove(const QString& href, const QByteArray& ifMatch, Reply<bool> reply) = 0;
    // Where a new object with this UID goes: the calendar's path and the
    // UID made safe for a path segment, with ".ics".
    virtual QString hrefFor(const QByteArray& uid) const = 0;
    // Drops every request in flight and queued; their callbacks are not called.
    virtual void cancelAll() = 0;
};

// The calendar on a CalDAV server (RFC 4791) over HTTP. Credentials go with
// every request (Basic), so that no request waits for a 401 first. At most
// kMaxInFlight requests run at once; the rest wait their turn. Every request
// has a time-out, and every answer is bounded in size before it is read.
class CalDavClient : public QObject, public CalendarServer {
    Q_OBJECT
  public:
    static constexpr int kMaxInFlight = 6;
    static constexpr int kTimeoutMs = 30000;
    static constexpr qint64 kMaxAnswerBytes = 64 * 1024 * 1024;
    static constexpr qint64 kMaxObjectBytes = 4 * 1024 * 1024;

    // `network` may be shared; it is not owned.
    CalDavClient(QNetworkAccessManager* network, const ServerAccount& account,
                 QObject* parent = nullptr);
    ~CalDavClient() override;

    void listChanges(const QByteArray& token, Reply<EventListing> reply) override;
    void fetch(const QStringList& hrefs, Reply<QList<FetchedEvent>> reply) override;
    void put(const QString& href, const QByteArray& ics, const QByteArray& ifMatch,
             Reply<QByteArray> reply) override;
    void remove(const QString& href, const QByteArray& ifMatch, Reply<bool> reply) override;
    QString hrefFor(const QByteArray& uid) const override;
    void cancelAll() override;

    // Requests sent since construction, for the tests and the benchmark.
    int requestsSent() const;
    // The time-out of each request (kTimeoutMs unless changed).
    void setTimeoutMs(int ms);

  private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The questions the user answers before the program goes on (Italian):
// trusting a certificate the system does not (naming its fingerprint), and
// sending the password in clear over http:// to another machine.
QString certificateQuestion(const QUrl& server, const ServerFailure& untrusted);
QString plainHttpQuestion(const QUrl& server);

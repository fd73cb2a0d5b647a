#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>
#include <utility>

#include "operations/sync/caldavclient.h"

class QNetworkAccessManager;
class QNetworkReply;

// What the CalDAV client and the calendar discovery share: reading a WebDAV
// multistatus answer, and the HTTP plumbing (credentials, the in-flight
// limit, time-outs, bounded answers, the certificate and plain-http rules).

namespace dav {

// Bounds on what an answer may hold before it is believed.
inline constexpr int kMaxXmlDepth = 64;
inline constexpr int kMaxResponses = 200000;
inline constexpr int kMaxShortText = 8192;  // an href, an ETag, a display name, a token

// One <response> of a multistatus: its href as written, its own status (a
// removal in a sync answer), and the properties of its 2xx propstats.
struct Response {
    QString href;
    int status = 0;  // the response's own <status>, 0 when it has none
    bool hasProps = false;
    QByteArray etag;
    bool isCollection = false;
    bool isCalendar = false;
    QString displayName;
    bool componentsStated = false;
    QStringList components;  // upper case: "VEVENT", "VTODO"...
    QString principalHref;   // DAV:current-user-principal
    QString homeSetHref;     // C:calendar-home-set (its first href)
    bool hasCalendarData = false;
    bool calendarDataTooLarge = false;
    QByteArray calendarData;  // UTF-8
};

struct Multistatus {
    QList<Response> responses;
    bool hasSyncToken = false;
    QByteArray syncToken;
};

// Reads a DAV:multistatus document. Deeper nesting than kMaxXmlDepth, more
// than kMaxResponses responses, a DTD or anything not well formed is an
// error (the message, in Italian, goes to `error`). A calendar-data larger
// than `maxObjectBytes` is not kept (calendarDataTooLarge).
std::optional<Multistatus> parseMultistatus(const QByteArray& xml, qint64 maxObjectBytes,
                                            QString* error);

// "HTTP/1.1 404 Not Found" -> 404; 0 when it does not read as a status line.
int parseStatusLine(QStringView line);

// An ETag as it may be sent back in If-Match: printable ASCII only, bounded;
// anything else is empty.
QByteArray cleanEtag(const QByteArray& etag);

// The server's href resolved against `base`, as a fully decoded path.
QString hrefPath(const QUrl& base, const QString& href);
// `path` (decoded) on the scheme, host and port of `base`.
QUrl urlWithPath(const QUrl& base, const QString& path);

// The failure for an HTTP status that is not a success.
ServerFailure failureForStatus(int status, const QByteArray& reason);
// An answer that does not read as CalDAV, and why.
ServerFailure badAnswer(const QString& why);

// One HTTP request to run.
struct Request {
    QByteArray method;
    QUrl url;
    QByteArray depth;  // the Depth header; empty: none
    QByteArray body;
    QByteArray contentType;
    QList<std::pair<QByteArray, QByteArray>> headers;
};

// What the server answered (any status).
struct Answer {
    int status = 0;
    QByteArray reason;
    QByteArray body;
    QByteArray etag;  // the ETag header
    QUrl location;    // the Location header, resolved against the request URL
};

// Runs requests for one account: Basic credentials on every request, at
// most `maxInFlight` at once (the rest in FIFO order), a transfer time-out,
// answers bounded in size, certificates checked against the one the user
// confirmed, and plain http:// to another machine refused unless confirmed.
// Every callback comes later, never inside send(), and never after cancel(),
// cancelAll() or destruction. A failure is only given for what is not an
// HTTP answer (no connection, time-out, certificate, too large, refused);
// HTTP statuses come as an Answer.
class Transport : public QObject {
    Q_OBJECT
  public:
    using Done = std::function<void(const std::optional<ServerFailure>& failure, const Answer&)>;

    Transport(QNetworkAccessManager* network, const ServerAccount& account, int maxInFlight,
              QObject* parent = nullptr);
    ~Transport() override;

    quint64 send(Request request, Done done);
    // Calls `call` later, from the event loop, unless cancelled first.
    quint64 later(std::function<void()> call);
    void cancel(quint64 id);
    void cancelAll();

    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    void setMaxAnswerBytes(qint64 bytes) { maxAnswerBytes_ = bytes; }
    int requestsSent() const { return sent_; }
    const ServerAccount& account() const { return account_; }
    // Whether a request to `url` may carry the password.
    bool allowed(const QUrl& url) const;

  private:
    struct Job {
        Request request;
        Done done;
        std::function<void()> later;
        QPointer<QNetworkReply> reply;
        QByteArray body;
        std::optional<ServerFailure> abortedFor;
    };

    void pump();
    void start(quint64 id);
    void onReadyRead(quint64 id);
    void onMetaData(quint64 id);
    void onSslErrors(quint64 id, const QList<QSslError>& errors);
    void onFinished(quint64 id);
    void abortWith(quint64 id, const ServerFailure& failure);
    void deliverLater(quint64 id);
    static void detach(Job& job, QObject* receiver);

    QNetworkAccessManager* network_;
    ServerAccount account_;
    int maxInFlight_;
    int timeoutMs_ = CalDavClient::kTimeoutMs;
    qint64 maxAnswerBytes_ = CalDavClient::kMaxAnswerBytes;
    int sent_ = 0;
    int inFlight_ = 0;
    quint64 nextId_ = 1;
    QHash<quint64, Job> jobs_;
    QList<quint64> queue_;
};

}  // namespace dav

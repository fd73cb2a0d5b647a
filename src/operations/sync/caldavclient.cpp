#include "operations/sync/caldavclient.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QSet>
#include <QXmlStreamWriter>

#include "operations/sync/davxml.h"

namespace {

constexpr int kFetchChunk = 100;
constexpr int kMaxUidSegment = 200;
const QString kDavNs = QStringLiteral("DAV:");
const QString kCalDavNs = QStringLiteral("urn:ietf:params:xml:ns:caldav");
const QByteArray kXmlType = QByteArrayLiteral("application/xml; charset=utf-8");

// Writes one request body: the root element in DAV: or CalDAV's namespace,
// filled by `fill`.
QByteArray xmlBody(const QString& rootNs, const QString& root,
                   const std::function<void(QXmlStreamWriter&)>& fill) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeNamespace(kDavNs, QStringLiteral("D"));
    w.writeNamespace(kCalDavNs, QStringLiteral("C"));
    w.writeStartElement(rootNs, root);
    fill(w);
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

void writeProps(QXmlStreamWriter& w, bool calendarData) {
    w.writeStartElement(kDavNs, QStringLiteral("prop"));
    w.writeEmptyElement(kDavNs, QStringLiteral("getetag"));
    w.writeEmptyElement(kDavNs, QStringLiteral("resourcetype"));
    if (calendarData) w.writeEmptyElement(kCalDavNs, QStringLiteral("calendar-data"));
    w.writeEndElement();
}

QByteArray quotedEtag(const QByteArray& etag) {
    const QByteArray clean = dav::cleanEtag(etag);
    if (clean.startsWith('"') || clean.startsWith("W/")) return clean;
    return '"' + clean + '"';
}

bool isSuccess(int status) {
    return status >= 200 && status < 300;
}

// Whether a refused sync-collection should be answered by listing
// everything instead: the server lacks the report, or no longer knows the
// token.
bool syncRefused(int status) {
    switch (status) {
        case 400:
        case 403:
        case 405:
        case 409:
        case 412:
        case 415:
        case 422:
        case 501:
            return true;
        default:
            return false;
    }
}

}  // namespace

QString describeFailure(const ServerFailure& failure) {
    using K = ServerFailure::Kind;
    const QString detail =
        failure.detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(failure.detail);
    switch (failure.kind) {
        case K::Unreachable:
            return QStringLiteral("server non raggiungibile") + detail;
        case K::TimedOut:
            return QStringLiteral("nessuna risposta dal server entro %1 secondi")
                .arg(CalDavClient::kTimeoutMs / 1000);
        case K::Unauthorized:
            return QStringLiteral("nome utente o password non accettati dal server (401)");
        case K::Forbidden:
            return QStringLiteral("nessun permesso sul calendario (403)");
        case K::NotFound:
            return QStringLiteral("calendario non trovato sul server (404)");
        case K::Full:
            return QStringLiteral("spazio esaurito sul server (507)");
        case K::Untrusted:
            return QStringLiteral("certificato del server non attendibile (impronta SHA-256 %1)")
                .arg(failure.fingerprint);
        case K::InsecureHttp:
            return QStringLiteral("connessione non cifrata verso un altro computer non confermata");
        case K::Changed:
            return QStringLiteral("l'evento è cambiato sul server nel frattempo (412)");
        case K::BadAnswer:
            return QStringLiteral("risposta del server non valida: %1")
                .arg(failure.detail.isEmpty() ? QStringLiteral("illeggibile") : failure.detail);
        case K::Other:
            break;
    }
    if (failure.httpStatus > 0) {
        const QString reason =
            failure.detail.isEmpty() ? QString() : QLatin1Char(' ') + failure.detail;
        return QStringLiteral("errore del server (HTTP %1%2)").arg(failure.httpStatus).arg(reason);
    }
    return QStringLiteral("richiesta non riuscita") + detail;
}

bool isSafeWithoutAsking(const QUrl& url) {
    if (url.scheme() == QLatin1StringView("https")) return !url.host().isEmpty();
    if (url.scheme() != QLatin1StringView("http")) return false;
    const QString host = url.host();
    if (host.compare(QLatin1StringView("localhost"), Qt::CaseInsensitive) == 0) return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QString certificateQuestion(const QUrl& server, const ServerFailure& untrusted) {
    return QStringLiteral(
               "Il server %1 presenta un certificato che il sistema non riconosce come "
               "attendibile.\n\n%2\nImpronta SHA-256: %3\n\nSe l'impronta è quella del tuo "
               "server, puoi fidarti di questo certificato. Vuoi fidarti e continuare?")
        .arg(server.host(), untrusted.certificateText, untrusted.fingerprint);
}

QString plainHttpQuestion(const QUrl& server) {
    return QStringLiteral(
               "L'indirizzo %1 usa http:// senza cifratura: la password e gli appuntamenti "
               "viaggeranno in chiaro e chiunque sulla rete potrà leggerli. Vuoi continuare "
               "lo stesso?")
        .arg(server.toDisplayString(QUrl::RemoveUserInfo));
}

struct CalDavClient::Private {
    Private(QNetworkAccessManager* network, const ServerAccount& account)
        : transport(network, account, kMaxInFlight) {
        calendarPath = account.calendar.path(QUrl::FullyDecoded);
        if (!calendarPath.endsWith(QLatin1Char('/'))) calendarPath.append(QLatin1Char('/'));
        calendar = dav::urlWithPath(account.calendar, calendarPath);
    }

    QUrl urlFor(const QString& href) const {
        return dav::urlWithPath(calendar,
                                href.startsWith(QLatin1Char('/')) ? href : calendarPath + href);
    }

    // The decoded path of a listed member, or empty for the collection
    // itself, a sub-collection, or anything outside the calendar.
    QString memberPath(const dav::Response& response) const {
        const QString path = dav::hrefPath(calendar, response.href);
        if (!path.startsWith(calendarPath) || path.size() == calendarPath.size()) return {};
        if (path.endsWith(QLatin1Char('/')) || response.isCollection) return {};
        return path;
    }

    EventListing listingOf(const dav::Multistatus& answer, bool complete) const {
        EventListing listing;
        listing.complete = complete;
        for (const dav::Response& response : answer.responses) {
            const QString path = memberPath(response);
            if (path.isEmpty()) continue;
            if (response.status == 404) {
                if (!complete) listing.removed.append(path);
            } else if (response.hasProps && (response.status == 0 || isSuccess(response.status))) {
                listing.changed.insert(path, response.etag);
            }
        }
        return listing;
    }

    dav::Transport transport;
    QUrl calendar;  // with its path ending in '/'
    QString calendarPath;
};

CalDavClient::CalDavClient(QNetworkAccessManager* network, const ServerAccount& account,
                           QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(network, account)) {}

CalDavClient::~CalDavClient() = default;

int CalDavClient::requestsSent() const {
    return d->transport.requestsSent();
}

void CalDavClient::setTimeoutMs(int ms) {
    d->transport.setTimeoutMs(ms);
}

void CalDavClient::cancelAll() {
    d->transport.cancelAll();
}

void CalDavClient::listChanges(const QByteArray& token, Reply<EventListing> reply) {
    dav::Request request;
    request.method = "REPORT";
    request.url = d->calendar;
    request.depth = "0";
    request.contentType = kXmlType;
    request.body = xmlBody(kDavNs, QStringLiteral("sync-collection"), [&](QXmlStreamWriter& w) {
        w.writeTextElement(kDavNs, QStringLiteral("sync-token"), QString::fromUtf8(token));
        w.writeTextElement(kDavNs, QStringLiteral("sync-level"), QStringLiteral("1"));
        writeProps(w, false);
    });
    const bool initial = token.isEmpty();
    auto listAll = [this, reply] {
        dav::Request all;
        all.method = "PROPFIND";
        all.url = d->calendar;
        all.depth = "1";
        all.contentType = kXmlType;
        all.body = xmlBody(kDavNs, QStringLiteral("propfind"),
                           [](QXmlStreamWriter& w) { writeProps(w, false); });
        d->transport.send(all, [this, reply](const std::optional<ServerFailure>& failure,
                                             const dav::Answer& answer) {
            if (failure) return reply(failure, {});
            if (answer.status != 207) {
                return reply(dav::failureForStatus(answer.status, answer.reason), {});
            }
            QString error;
            const auto parsed = dav::parseMultistatus(answer.body, kMaxObjectBytes, &error);
            if (!parsed) return reply(dav::badAnswer(error), {});
            reply(std::nullopt, d->listingOf(*parsed, true));
        });
    };
    d->transport.send(
        request, [this, reply, initial, listAll](const std::optional<ServerFailure>& failure,
                                                 const dav::Answer& answer) {
            if (failure) return reply(failure, {});
            if (answer.status == 207) {
                QString error;
                const auto parsed = dav::parseMultistatus(answer.body, kMaxObjectBytes, &error);
                if (!parsed) return reply(dav::badAnswer(error), {});
                if (!parsed->hasSyncToken || parsed->syncToken.isEmpty()) return listAll();
                EventListing listing = d->listingOf(*parsed, initial);
                listing.token = parsed->syncToken;
                return reply(std::nullopt, listing);
            }
            if (syncRefused(answer.status)) return listAll();
            reply(dav::failureForStatus(answer.status, answer.reason), {});
        });
}

void CalDavClient::fetch(const QStringList& hrefs, Reply<QList<FetchedEvent>> reply) {
    struct State {
        QSet<QString> wanted;
        QList<FetchedEvent> events;
        QList<quint64> requests;
        int pending = 0;
        bool over = false;
    };
    auto state = std::make_shared<State>();
    QStringList paths;
    for (const QString& href : hrefs) {
        const QString path = d->urlFor(href).path(QUrl::FullyDecoded);
        if (!state->wanted.contains(path)) {
            state->wanted.insert(path);
            paths.append(path);
        }
    }
    if (paths.isEmpty()) {
        d->transport.later([reply] { reply(std::nullopt, {}); });
        return;
    }
    for (qsizetype from = 0; from < paths.size(); from += kFetchChunk) {
        const QStringList chunk = paths.mid(from, kFetchChunk);
        dav::Request request;
        request.method = "REPORT";
        request.url = d->calendar;
        request.depth = "1";
        request.contentType = kXmlType;
        request.body =
            xmlBody(kCalDavNs, QStringLiteral("calendar-multiget"), [&](QXmlStreamWriter& w) {
                w.writeStartElement(kDavNs, QStringLiteral("prop"));
                w.writeEmptyElement(kDavNs, QStringLiteral("getetag"));
                w.writeEmptyElement(kCalDavNs, QStringLiteral("calendar-data"));
                w.writeEndElement();
                for (const QString& path : chunk) {
                    w.writeTextElement(kDavNs, QStringLiteral("href"),
                                       d->urlFor(path).path(QUrl::FullyEncoded));
                }
            });
        ++state->pending;
        state->requests.append(d->transport.send(
            request, [this, state, reply](const std::optional<ServerFailure>& failure,
                                          const dav::Answer& answer) {
                if (state->over) return;
                std::optional<ServerFailure> problem = failure;
                std::optional<dav::Multistatus> parsed;
                if (!problem && answer.status != 207) {
                    problem = dav::failureForStatus(answer.status, answer.reason);
                }
                if (!problem) {
                    QString error;
                    parsed = dav::parseMultistatus(answer.body, kMaxObjectBytes, &error);
                    if (!parsed) problem = dav::badAnswer(error);
                }
                if (problem) {
                    state->over = true;
                    for (const quint64 id : std::as_const(state->requests)) {
                        d->transport.cancel(id);
                    }
                    return reply(problem, {});
                }
                for (const dav::Response& response : std::as_const(parsed->responses)) {
                    const QString path = dav::hrefPath(d->calendar, response.href);
                    if (!state->wanted.contains(path) || response.status == 404) continue;
                    if (!response.hasCalendarData || response.calendarDataTooLarge) continue;
                    state->wanted.remove(path);
                    state->events.append(FetchedEvent{path, response.etag, response.calendarData});
                }
                if (--state->pending == 0) {
                    state->over = true;
                    reply(std::nullopt, state->events);
                }
            }));
    }
}

void CalDavClient::put(const QString& href, const QByteArray& ics, const QByteArray& ifMatch,
                       Reply<QByteArray> reply) {
    dav::Request request;
    request.method = "PUT";
    request.url = d->urlFor(href);
    request.contentType = "text/calendar; charset=utf-8";
    request.body = ics;
    if (ifMatch.isEmpty()) {
        request.headers.append(std::pair(QByteArray("If-None-Match"), QByteArray("*")));
    } else {
        request.headers.append(std::pair(QByteArray("If-Match"), quotedEtag(ifMatch)));
    }
    d->transport.send(
        request, [reply](const std::optional<ServerFailure>& failure, const dav::Answer& answer) {
            if (failure) return reply(failure, {});
            if (!isSuccess(answer.status)) {
                return reply(dav::failureForStatus(answer.status, answer.reason), {});
            }
            reply(std::nullopt, dav::cleanEtag(answer.etag));
        });
}

void CalDavClient::remove(const QString& href, const QByteArray& ifMatch, Reply<bool> reply) {
    dav::Request request;
    request.method = "DELETE";
    request.url = d->urlFor(href);
    if (!ifMatch.isEmpty())
        request.headers.append(std::pair(QByteArray("If-Match"), quotedEtag(ifMatch)));
    d->transport.send(
        request, [reply](const std::optional<ServerFailure>& failure, const dav::Answer& answer) {
            if (failure) return reply(failure, false);
            if (!isSuccess(answer.status) && answer.status != 404) {
                return reply(dav::failureForStatus(answer.status, answer.reason), false);
            }
            reply(std::nullopt, true);
        });
}

QString CalDavClient::hrefFor(const QByteArray& uid) const {
    QString segment;
    const QList<uint> codePoints = QString::fromUtf8(uid).toUcs4();
    for (const uint c : codePoints) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '@' || c == '-';
        segment.append(plain ? QChar(char16_t(c)) : QLatin1Char('-'));
    }
    if (segment.isEmpty()) segment = QStringLiteral("-");
    // A very long UID keeps a bounded name that is still its own.
    if (segment.size() > kMaxUidSegment) {
        segment =
            segment.left(kMaxUidSegment - 41) + QLatin1Char('-') +
            QString::fromLatin1(QCryptographicHash::hash(uid, QCryptographicHash::Sha1).toHex());
    }
    return d->calendarPath + segment + QStringLiteral(".ics");
}

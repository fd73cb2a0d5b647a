#include "operations/sync/caldavdiscovery.h"

#include <QPointer>
#include <QXmlStreamWriter>

#include "operations/sync/davxml.h"

namespace {

constexpr int kMaxRedirects = 5;
constexpr int kMaxNewCalendarTries = 10;
const QString kDavNs = QStringLiteral("DAV:");
const QString kCalDavNs = QStringLiteral("urn:ietf:params:xml:ns:caldav");

struct PropName {
    bool caldav;
    const char* name;
};

QByteArray propfindBody(std::initializer_list<PropName> props) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeNamespace(kDavNs, QStringLiteral("D"));
    w.writeNamespace(kCalDavNs, QStringLiteral("C"));
    w.writeStartElement(kDavNs, QStringLiteral("propfind"));
    w.writeStartElement(kDavNs, QStringLiteral("prop"));
    for (const PropName& p : props) {
        w.writeEmptyElement(p.caldav ? kCalDavNs : kDavNs, QString::fromLatin1(p.name));
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray mkcalendarBody(const QString& name) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeNamespace(kDavNs, QStringLiteral("D"));
    w.writeNamespace(kCalDavNs, QStringLiteral("C"));
    w.writeStartElement(kCalDavNs, QStringLiteral("mkcalendar"));
    w.writeStartElement(kDavNs, QStringLiteral("set"));
    w.writeStartElement(kDavNs, QStringLiteral("prop"));
    w.writeTextElement(kDavNs, QStringLiteral("displayname"), name);
    w.writeStartElement(kCalDavNs, QStringLiteral("supported-calendar-component-set"));
    w.writeEmptyElement(kCalDavNs, QStringLiteral("comp"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("VEVENT"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QUrl withSlash(QUrl url) {
    QString path = url.path(QUrl::FullyDecoded);
    if (!path.endsWith(QLatin1Char('/'))) path.append(QLatin1Char('/'));
    url.setPath(path, QUrl::DecodedMode);  // one spelling of the same path
    url.setUserInfo(QString());
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

QUrl resolvedHref(const QUrl& base, const QString& href) {
    return base.resolved(QUrl(href, QUrl::TolerantMode));
}

ServerFailure notFound(const QString& detail) {
    ServerFailure failure;
    failure.kind = ServerFailure::Kind::NotFound;
    failure.detail = detail;
    return failure;
}

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The response that describes `url` itself, or the first one.
const dav::Response* responseFor(const dav::Multistatus& answer, const QUrl& url) {
    const QString path = withSlash(url).path(QUrl::FullyDecoded);
    for (const dav::Response& r : answer.responses) {
        if (withSlash(resolvedHref(url, r.href)).path(QUrl::FullyDecoded) == path) return &r;
    }
    return answer.responses.isEmpty() ? nullptr : &answer.responses.first();
}

CalendarInfo calendarInfo(const QUrl& url, const dav::Response& response) {
    CalendarInfo info;
    info.url = withSlash(url);
    info.name = response.displayName;
    if (info.name.isEmpty()) {
        const QString path = info.url.path(QUrl::FullyDecoded);
        info.name = path.section(QLatin1Char('/'), -2, -2);
    }
    return info;
}

// One discovery or creation: its own transport (the account's credentials
// and rules), dropped when it ends or is cancelled.
class Run : public QObject {
  public:
    using Parsed = std::function<void(const std::optional<ServerFailure>&, int status,
                                      const dav::Multistatus&, const QUrl& finalUrl)>;

    Run(QNetworkAccessManager* network, const ServerAccount& account, QObject* parent)
        : QObject(parent), transport(network, account, CalDavClient::kMaxInFlight) {}

    // PROPFIND (or another DAV request) at `url`, following redirects to the
    // same host or to https; the multistatus when the answer is 207.
    void request(const QByteArray& method, const QUrl& url, const QByteArray& depth,
                 const QByteArray& body, Parsed done, int redirectsLeft = kMaxRedirects) {
        dav::Request r;
        r.method = method;
        r.url = url;
        r.depth = depth;
        r.body = body;
        r.contentType = "application/xml; charset=utf-8";
        transport.send(
            r, [this, method, url, depth, body, done, redirectsLeft](
                   const std::optional<ServerFailure>& failure, const dav::Answer& answer) {
                if (failure) return done(failure, 0, {}, url);
                if (isRedirect(answer.status) && answer.location.isValid()) {
                    const QUrl next = answer.location;
                    const bool sameHost = next.host().compare(url.host(), Qt::CaseInsensitive) == 0;
                    const bool https = next.scheme() == QLatin1StringView("https");
                    if (redirectsLeft > 0 && (sameHost || https)) {
                        return request(method, next, depth, body, done, redirectsLeft - 1);
                    }
                }
                if (answer.status != 207) return done(std::nullopt, answer.status, {}, url);
                QString error;
                const auto parsed =
                    dav::parseMultistatus(answer.body, CalDavClient::kMaxObjectBytes, &error);
                if (!parsed) return done(dav::badAnswer(error), answer.status, {}, url);
                done(std::nullopt, 207, *parsed, url);
            });
    }

    dav::Transport transport;
};

}  // namespace

struct CalDavDiscovery::Private {
    QNetworkAccessManager* network;
    QList<QPointer<Run>> runs;

    Run* newRun(CalDavDiscovery* owner, const ServerAccount& account) {
        auto* run = new Run(network, account, owner);
        runs.append(run);
        return run;
    }
    void end(Run* run) {
        runs.removeAll(run);
        run->transport.cancelAll();
        run->deleteLater();
    }

    void findPrincipal(Run* run, const QUrl& typed, std::optional<ServerFailure> typedFailure,
                       Done done);
    void readPrincipal(Run* run, const QUrl& principal, Done done);
    void listHomeSet(Run* run, const QUrl& homeSet, Done done);
    void tryCreate(Run* run, const QUrl& homeSet, const QString& name, int attempt, Created done);
};

CalDavDiscovery::CalDavDiscovery(QNetworkAccessManager* network, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>()) {
    d->network = network;
}

CalDavDiscovery::~CalDavDiscovery() {
    cancel();
}

void CalDavDiscovery::cancel() {
    const QList<QPointer<Run>> runs = d->runs;
    d->runs.clear();
    for (const QPointer<Run>& run : runs) {
        if (!run) continue;
        run->transport.cancelAll();
        run->deleteLater();
    }
}

void CalDavDiscovery::discover(const ServerAccount& account, Done done) {
    Run* run = d->newRun(this, account);
    Private* p = d.get();
    const QByteArray body = propfindBody({{false, "resourcetype"},
                                          {false, "displayname"},
                                          {false, "current-user-principal"},
                                          {true, "calendar-home-set"},
                                          {true, "supported-calendar-component-set"}});
    run->request("PROPFIND", account.calendar, "0", body,
                 [p, run, done](const std::optional<ServerFailure>& failure, int status,
                                const dav::Multistatus& answer, const QUrl& url) {
                     if (failure || status == 401) {
                         p->end(run);
                         return done(failure ? *failure : dav::failureForStatus(status, {}), {});
                     }
                     if (status != 207) {
                         return p->findPrincipal(run, url, dav::failureForStatus(status, {}), done);
                     }
                     const dav::Response* self = responseFor(answer, url);
                     if (self && self->isCalendar) {
                         Found found;
                         found.addressIsCalendar = true;
                         found.calendars.append(calendarInfo(url, *self));
                         p->end(run);
                         return done(std::nullopt, found);
                     }
                     if (self && !self->principalHref.isEmpty()) {
                         return p->readPrincipal(run, resolvedHref(url, self->principalHref), done);
                     }
                     if (self && !self->homeSetHref.isEmpty()) {
                         return p->listHomeSet(run, resolvedHref(url, self->homeSetHref), done);
                     }
                     p->findPrincipal(run, url, std::nullopt, done);
                 });
}

void CalDavDiscovery::Private::findPrincipal(Run* run, const QUrl& typed,
                                             std::optional<ServerFailure> typedFailure, Done done) {
    QUrl wellKnown = dav::urlWithPath(typed, QStringLiteral("/.well-known/caldav"));
    const QByteArray body = propfindBody({{false, "current-user-principal"}});
    run->request(
        "PROPFIND", wellKnown, "0", body,
        [this, run, typedFailure, done](const std::optional<ServerFailure>& failure, int status,
                                        const dav::Multistatus& answer, const QUrl& url) {
            const dav::Response* self =
                failure || status != 207 ? nullptr : responseFor(answer, url);
            if (self && !self->principalHref.isEmpty()) {
                return readPrincipal(run, resolvedHref(url, self->principalHref), done);
            }
            end(run);
            if (failure && failure->kind != ServerFailure::Kind::BadAnswer) {
                return done(failure, {});
            }
            if (status == 401) return done(dav::failureForStatus(status, {}), {});
            done(typedFailure ? *typedFailure
                              : notFound(QStringLiteral("nessun calendario trovato")),
                 {});
        });
}

void CalDavDiscovery::Private::readPrincipal(Run* run, const QUrl& principal, Done done) {
    const QByteArray body = propfindBody({{true, "calendar-home-set"}});
    run->request("PROPFIND", principal, "0", body,
                 [this, run, done](const std::optional<ServerFailure>& failure, int status,
                                   const dav::Multistatus& answer, const QUrl& url) {
                     const dav::Response* self =
                         failure || status != 207 ? nullptr : responseFor(answer, url);
                     if (self && !self->homeSetHref.isEmpty()) {
                         return listHomeSet(run, resolvedHref(url, self->homeSetHref), done);
                     }
                     end(run);
                     if (failure) return done(failure, {});
                     if (status != 207) return done(dav::failureForStatus(status, {}), {});
                     done(notFound(QStringLiteral("nessuna raccolta di calendari")), {});
                 });
}

void CalDavDiscovery::Private::listHomeSet(Run* run, const QUrl& homeSet, Done done) {
    const QByteArray body = propfindBody({{false, "resourcetype"},
                                          {false, "displayname"},
                                          {true, "supported-calendar-component-set"}});
    run->request(
        "PROPFIND", withSlash(homeSet), "1", body,
        [this, run, done](const std::optional<ServerFailure>& failure, int status,
                          const dav::Multistatus& answer, const QUrl& url) {
            end(run);
            if (failure) return done(failure, {});
            if (status != 207) return done(dav::failureForStatus(status, {}), {});
            Found found;
            found.homeSet = withSlash(url);
            const QString homePath = found.homeSet.path(QUrl::FullyDecoded);
            for (const dav::Response& r : answer.responses) {
                const QUrl at = withSlash(resolvedHref(url, r.href));
                if (at.path(QUrl::FullyDecoded) == homePath || !r.isCalendar) continue;
                if (r.componentsStated && !r.components.contains(QStringLiteral("VEVENT"))) {
                    continue;
                }
                found.calendars.append(calendarInfo(at, r));
            }
            done(std::nullopt, found);
        });
}

void CalDavDiscovery::createCalendar(const ServerAccount& account, const QUrl& homeSet,
                                     const QString& name, Created done) {
    d->tryCreate(d->newRun(this, account), withSlash(homeSet), name, 1, std::move(done));
}

void CalDavDiscovery::Private::tryCreate(Run* run, const QUrl& homeSet, const QString& name,
                                         int attempt, Created done) {
    const QString segment =
        attempt == 1 ? QStringLiteral("ricordel/") : QStringLiteral("ricordel-%1/").arg(attempt);
    const QUrl target = dav::urlWithPath(homeSet, homeSet.path(QUrl::FullyDecoded) + segment);
    dav::Request request;
    request.method = "MKCALENDAR";
    request.url = target;
    request.contentType = "application/xml; charset=utf-8";
    request.body = mkcalendarBody(name);
    run->transport.send(
        request, [this, run, homeSet, name, attempt, target, done](
                     const std::optional<ServerFailure>& failure, const dav::Answer& answer) {
            if (!failure && (answer.status == 405 || answer.status == 409) &&
                attempt < kMaxNewCalendarTries) {
                return tryCreate(run, homeSet, name, attempt + 1, done);
            }
            end(run);
            if (failure) return done(failure, {});
            if (answer.status < 200 || answer.status >= 300) {
                return done(dav::failureForStatus(answer.status, answer.reason), {});
            }
            done(std::nullopt, target);
        });
}

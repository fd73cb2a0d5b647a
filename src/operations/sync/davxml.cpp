#include "operations/sync/davxml.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <QXmlStreamReader>

namespace dav {

namespace {

const QLatin1StringView kDavNs("DAV:");
const QLatin1StringView kCalDavNs("urn:ietf:params:xml:ns:caldav");
constexpr int kMaxComponents = 32;

enum class Tag {
    Other,
    Multistatus,
    Response,
    Href,
    Status,
    Propstat,
    Prop,
    GetEtag,
    ResourceType,
    Collection,
    Calendar,
    DisplayName,
    CurrentUserPrincipal,
    CalendarHomeSet,
    ComponentSet,
    Comp,
    CalendarData,
    SyncToken,
};

Tag tagOf(QStringView ns, QStringView name) {
    struct Known {
        bool dav;
        QLatin1StringView name;
        Tag tag;
    };
    static const Known known[] = {
        {true, QLatin1StringView("multistatus"), Tag::Multistatus},
        {true, QLatin1StringView("response"), Tag::Response},
        {true, QLatin1StringView("href"), Tag::Href},
        {true, QLatin1StringView("status"), Tag::Status},
        {true, QLatin1StringView("propstat"), Tag::Propstat},
        {true, QLatin1StringView("prop"), Tag::Prop},
        {true, QLatin1StringView("getetag"), Tag::GetEtag},
        {true, QLatin1StringView("resourcetype"), Tag::ResourceType},
        {true, QLatin1StringView("collection"), Tag::Collection},
        {true, QLatin1StringView("displayname"), Tag::DisplayName},
        {true, QLatin1StringView("current-user-principal"), Tag::CurrentUserPrincipal},
        {true, QLatin1StringView("sync-token"), Tag::SyncToken},
        {false, QLatin1StringView("calendar"), Tag::Calendar},
        {false, QLatin1StringView("calendar-home-set"), Tag::CalendarHomeSet},
        {false, QLatin1StringView("supported-calendar-component-set"), Tag::ComponentSet},
        {false, QLatin1StringView("comp"), Tag::Comp},
        {false, QLatin1StringView("calendar-data"), Tag::CalendarData},
    };
    const bool dav = ns == kDavNs;
    if (!dav && ns != kCalDavNs) return Tag::Other;
    for (const Known& k : known) {
        if (k.dav == dav && name == k.name) return k.tag;
    }
    return Tag::Other;
}

// Folds the properties of one successful propstat into its response.
void mergeProps(Response& into, const Response& from) {
    into.hasProps = true;
    if (!from.etag.isEmpty()) into.etag = from.etag;
    into.isCollection = into.isCollection || from.isCollection;
    into.isCalendar = into.isCalendar || from.isCalendar;
    if (!from.displayName.isEmpty()) into.displayName = from.displayName;
    if (from.componentsStated) {
        into.componentsStated = true;
        into.components = from.components;
    }
    if (!from.principalHref.isEmpty()) into.principalHref = from.principalHref;
    if (!from.homeSetHref.isEmpty()) into.homeSetHref = from.homeSetHref;
    if (from.hasCalendarData) {
        into.hasCalendarData = true;
        into.calendarDataTooLarge = from.calendarDataTooLarge;
        into.calendarData = from.calendarData;
    }
}

QString shortText(const QString& text, int max) {
    return text.size() <= max ? text : text.left(max) + QStringLiteral("…");
}

QString fingerprintOf(const QSslCertificate& certificate) {
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString normalizedFingerprint(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c.isLetterOrNumber()) out.append(c.toUpper());
    }
    return out;
}

QString describeCertificate(const QSslCertificate& certificate) {
    const QString format = QStringLiteral("dd/MM/yyyy");
    const QString subject = shortText(
        certificate.subjectInfo(QSslCertificate::CommonName).join(QStringLiteral(", ")), 120);
    const QString issuer = shortText(
        certificate.issuerInfo(QSslCertificate::CommonName).join(QStringLiteral(", ")), 120);
    return QStringLiteral("intestato a: %1; emesso da: %2; valido dal %3 al %4")
        .arg(subject.isEmpty() ? QStringLiteral("?") : subject,
             issuer.isEmpty() ? QStringLiteral("?") : issuer,
             certificate.effectiveDate().toString(format),
             certificate.expiryDate().toString(format));
}

ServerFailure failureOf(ServerFailure::Kind kind, const QString& detail) {
    ServerFailure failure;
    failure.kind = kind;
    failure.detail = detail;
    return failure;
}

ServerFailure networkFailure(QNetworkReply::NetworkError error, const QString& text) {
    using E = QNetworkReply::NetworkError;
    const QString detail = shortText(text, 200);
    switch (error) {
        case E::TimeoutError:
        case E::OperationCanceledError:
            return failureOf(ServerFailure::Kind::TimedOut, detail);
        case E::ConnectionRefusedError:
        case E::RemoteHostClosedError:
        case E::HostNotFoundError:
        case E::SslHandshakeFailedError:
        case E::TemporaryNetworkFailureError:
        case E::NetworkSessionFailedError:
        case E::BackgroundRequestNotAllowedError:
        case E::UnknownNetworkError:
        case E::ProxyConnectionRefusedError:
        case E::ProxyConnectionClosedError:
        case E::ProxyNotFoundError:
        case E::ProxyTimeoutError:
        case E::UnknownProxyError:
            return failureOf(ServerFailure::Kind::Unreachable, detail);
        case E::ProtocolUnknownError:
        case E::ProtocolInvalidOperationError:
        case E::ProtocolFailure:
            return failureOf(ServerFailure::Kind::BadAnswer, detail);
        default:
            return failureOf(ServerFailure::Kind::Other, detail);
    }
}

}  // namespace

std::optional<Multistatus> parseMultistatus(const QByteArray& xml, qint64 maxObjectBytes,
                                            QString* error) {
    QXmlStreamReader reader(xml);
    QList<Tag> stack;
    Multistatus result;
    Response current;
    Response props;
    int propstatStatus = 0;
    bool sawRoot = false;
    QString text;
    bool textTooLong = false;

    auto fail = [&](const QString& why) -> std::optional<Multistatus> {
        if (error) *error = why;
        return std::nullopt;
    };

    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        switch (token) {
            case QXmlStreamReader::DTD:
                return fail(QStringLiteral("dichiarazioni DTD non ammesse"));
            case QXmlStreamReader::StartElement: {
                if (stack.size() >= kMaxXmlDepth) {
                    return fail(QStringLiteral("troppi livelli annidati"));
                }
                const Tag tag = tagOf(reader.namespaceUri(), reader.name());
                if (stack.isEmpty()) {
                    if (tag != Tag::Multistatus) {
                        return fail(QStringLiteral("non è una risposta multistatus"));
                    }
                    sawRoot = true;
                }
                const Tag parent = stack.isEmpty() ? Tag::Other : stack.last();
                if (tag == Tag::Response && parent == Tag::Multistatus) {
                    if (result.responses.size() >= kMaxResponses) {
                        return fail(QStringLiteral("troppe voci"));
                    }
                    current = Response{};
                } else if (tag == Tag::Propstat && parent == Tag::Response) {
                    props = Response{};
                    propstatStatus = 0;
                } else if (tag == Tag::Collection && parent == Tag::ResourceType) {
                    props.isCollection = true;
                } else if (tag == Tag::Calendar && parent == Tag::ResourceType) {
                    props.isCalendar = true;
                } else if (tag == Tag::ComponentSet && parent == Tag::Prop) {
                    props.componentsStated = true;
                } else if (tag == Tag::Comp && parent == Tag::ComponentSet &&
                           props.components.size() < kMaxComponents) {
                    const QString name =
                        reader.attributes().value(QLatin1StringView("name")).toString();
                    if (name.size() <= 64) props.components.append(name.toUpper());
                }
                text.clear();
                textTooLong = false;
                stack.append(tag);
                break;
            }
            case QXmlStreamReader::Characters: {
                if (stack.isEmpty() || textTooLong) break;
                const qint64 limit =
                    stack.last() == Tag::CalendarData ? maxObjectBytes : qint64(kMaxShortText);
                const QStringView chars = reader.text();
                if (text.size() + chars.size() > limit) {
                    textTooLong = true;
                    text.clear();
                } else {
                    text.append(chars);
                }
                break;
            }
            case QXmlStreamReader::EndElement: {
                if (stack.isEmpty()) break;
                const Tag tag = stack.takeLast();
                const Tag parent = stack.isEmpty() ? Tag::Other : stack.last();
                const QString value = textTooLong ? QString() : text.trimmed();
                switch (tag) {
                    case Tag::Href:
                        if (parent == Tag::Response) {
                            current.href = value;
                        } else if (parent == Tag::CurrentUserPrincipal &&
                                   props.principalHref.isEmpty()) {
                            props.principalHref = value;
                        } else if (parent == Tag::CalendarHomeSet && props.homeSetHref.isEmpty()) {
                            props.homeSetHref = value;
                        }
                        break;
                    case Tag::Status:
                        if (parent == Tag::Response) current.status = parseStatusLine(value);
                        if (parent == Tag::Propstat) propstatStatus = parseStatusLine(value);
                        break;
                    case Tag::GetEtag:
                        if (parent == Tag::Prop) props.etag = cleanEtag(value.toUtf8());
                        break;
                    case Tag::DisplayName:
                        if (parent == Tag::Prop) props.displayName = value;
                        break;
                    case Tag::CalendarData:
                        if (parent == Tag::Prop) {
                            props.hasCalendarData = true;
                            props.calendarData = textTooLong ? QByteArray() : text.toUtf8();
                            props.calendarDataTooLarge =
                                textTooLong || props.calendarData.size() > maxObjectBytes;
                            if (props.calendarDataTooLarge) props.calendarData.clear();
                        }
                        break;
                    case Tag::SyncToken:
                        if (parent == Tag::Multistatus && !textTooLong) {
                            result.hasSyncToken = true;
                            result.syncToken = value.toUtf8();
                        }
                        break;
                    case Tag::Propstat:
                        if (parent == Tag::Response &&
                            (propstatStatus == 0 ||
                             (propstatStatus >= 200 && propstatStatus < 300))) {
                            mergeProps(current, props);
                        }
                        break;
                    case Tag::Response:
                        if (parent == Tag::Multistatus && !current.href.isEmpty()) {
                            result.responses.append(std::move(current));
                            current = Response{};
                        }
                        break;
                    default:
                        break;
                }
                text.clear();
                textTooLong = false;
                break;
            }
            default:
                break;
        }
    }
    if (reader.hasError()) return fail(shortText(reader.errorString(), 200));
    if (!sawRoot) return fail(QStringLiteral("risposta vuota"));
    return result;
}

int parseStatusLine(QStringView line) {
    const QList<QStringView> parts = line.trimmed().split(u' ', Qt::SkipEmptyParts);
    if (parts.size() < 2 || !parts.first().startsWith(QLatin1StringView("HTTP/"))) return 0;
    if (parts.at(1).size() != 3) return 0;
    bool ok = false;
    const int status = parts.at(1).toInt(&ok);
    return ok && status >= 100 && status <= 599 ? status : 0;
}

QByteArray cleanEtag(const QByteArray& etag) {
    const QByteArray trimmed = etag.trimmed();
    if (trimmed.size() > kMaxShortText) return {};
    for (const char c : trimmed) {
        if (c < 0x20 || c > 0x7e) return {};
    }
    return trimmed;
}

QString hrefPath(const QUrl& base, const QString& href) {
    return base.resolved(QUrl(href, QUrl::TolerantMode)).path(QUrl::FullyDecoded);
}

QUrl urlWithPath(const QUrl& base, const QString& path) {
    QUrl url;
    url.setScheme(base.scheme());
    url.setHost(base.host());
    url.setPort(base.port());
    url.setPath(path, QUrl::DecodedMode);
    return url;
}

ServerFailure badAnswer(const QString& why) {
    ServerFailure failure;
    failure.kind = ServerFailure::Kind::BadAnswer;
    failure.detail = why;
    return failure;
}

ServerFailure failureForStatus(int status, const QByteArray& reason) {
    ServerFailure failure;
    failure.httpStatus = status;
    failure.detail = shortText(QString::fromUtf8(reason).trimmed(), 120);
    switch (status) {
        case 401:
            failure.kind = ServerFailure::Kind::Unauthorized;
            break;
        case 403:
            failure.kind = ServerFailure::Kind::Forbidden;
            break;
        case 404:
            failure.kind = ServerFailure::Kind::NotFound;
            break;
        case 412:
            failure.kind = ServerFailure::Kind::Changed;
            break;
        case 507:
            failure.kind = ServerFailure::Kind::Full;
            break;
        default:
            failure.kind = ServerFailure::Kind::Other;
            break;
    }
    return failure;
}

Transport::Transport(QNetworkAccessManager* network, const ServerAccount& account, int maxInFlight,
                     QObject* parent)
    : QObject(parent), network_(network), account_(account), maxInFlight_(qMax(1, maxInFlight)) {}

Transport::~Transport() {
    cancelAll();
}

bool Transport::allowed(const QUrl& url) const {
    if (url.scheme() == QLatin1StringView("https")) return true;
    if (url.scheme() != QLatin1StringView("http")) return false;
    if (isSafeWithoutAsking(url)) return true;
    return account_.plainHttpConfirmed &&
           url.host().compare(account_.calendar.host(), Qt::CaseInsensitive) == 0;
}

quint64 Transport::send(Request request, Done done) {
    const quint64 id = nextId_++;
    const QUrl url = request.url;
    Job job;
    job.request = std::move(request);
    job.done = std::move(done);
    const bool httpLike =
        url.scheme() == QLatin1StringView("http") || url.scheme() == QLatin1StringView("https");
    if (!url.isValid() || url.host().isEmpty() || !httpLike) {
        job.abortedFor = failureOf(
            ServerFailure::Kind::Other,
            QStringLiteral("indirizzo non valido: %1").arg(shortText(url.toDisplayString(), 200)));
    } else if (!allowed(url)) {
        job.abortedFor = failureOf(ServerFailure::Kind::InsecureHttp, url.host());
    }
    const bool refused = job.abortedFor.has_value();
    jobs_.insert(id, std::move(job));
    if (refused) {
        deliverLater(id);
    } else {
        queue_.append(id);
        pump();
    }
    return id;
}

quint64 Transport::later(std::function<void()> call) {
    const quint64 id = nextId_++;
    Job job;
    job.later = std::move(call);
    jobs_.insert(id, std::move(job));
    deliverLater(id);
    return id;
}

void Transport::deliverLater(quint64 id) {
    QTimer::singleShot(0, this, [this, id] {
        auto it = jobs_.find(id);
        if (it == jobs_.end()) return;
        Job job = std::move(*it);
        jobs_.erase(it);
        if (job.later) {
            job.later();
        } else {
            job.done(job.abortedFor, Answer{});
        }
    });
}

void Transport::cancel(quint64 id) {
    auto it = jobs_.find(id);
    if (it == jobs_.end()) return;
    Job job = std::move(*it);
    jobs_.erase(it);
    queue_.removeAll(id);
    if (job.reply) {
        --inFlight_;
        detach(job, this);
    }
    pump();
}

void Transport::cancelAll() {
    QHash<quint64, Job> jobs;
    jobs.swap(jobs_);
    queue_.clear();
    inFlight_ = 0;
    for (Job& job : jobs) detach(job, this);
}

void Transport::detach(Job& job, QObject* receiver) {
    QNetworkReply* reply = job.reply;
    job.reply = nullptr;
    if (!reply) return;
    reply->disconnect(receiver);
    reply->abort();
    reply->deleteLater();
}

void Transport::pump() {
    while (inFlight_ < maxInFlight_ && !queue_.isEmpty()) {
        const quint64 id = queue_.takeFirst();
        if (jobs_.contains(id)) start(id);
    }
}

void Transport::start(quint64 id) {
    Job& job = jobs_[id];
    QNetworkRequest request(job.request.url);
    if (!account_.user.isEmpty() || !account_.password.isEmpty()) {
        const QString credentials = account_.user + QLatin1Char(':') + account_.password;
        request.setRawHeader("Authorization", "Basic " + credentials.toUtf8().toBase64());
    }
    request.setTransferTimeout(timeoutMs_);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setRawHeader("User-Agent", "Ricordel");
    if (!job.request.depth.isEmpty()) request.setRawHeader("Depth", job.request.depth);
    if (!job.request.contentType.isEmpty()) {
        request.setRawHeader("Content-Type", job.request.contentType);
    }
    for (const auto& [name, value] : std::as_const(job.request.headers)) {
        request.setRawHeader(name, value);
    }

    QNetworkReply* reply =
        network_->sendCustomRequest(request, job.request.method, job.request.body);
    job.reply = reply;
    ++inFlight_;
    ++sent_;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, id] { onMetaData(id); });
    connect(reply, &QNetworkReply::readyRead, this, [this, id] { onReadyRead(id); });
#if QT_CONFIG(ssl)
    connect(reply, &QNetworkReply::sslErrors, this,
            [this, id](const QList<QSslError>& errors) { onSslErrors(id, errors); });
#endif
    connect(reply, &QNetworkReply::finished, this, [this, id] { onFinished(id); });
}

void Transport::abortWith(quint64 id, const ServerFailure& failure) {
    auto it = jobs_.find(id);
    if (it == jobs_.end() || !it->reply) return;
    it->abortedFor = failure;
    QNetworkReply* reply = it->reply;
    // abort() finishes the reply at once: onFinished() reports the failure,
    // and may end with this object destroyed by the callback.
    reply->abort();
}

void Transport::onMetaData(quint64 id) {
    auto it = jobs_.find(id);
    if (it == jobs_.end() || !it->reply) return;
    const QVariant length = it->reply->header(QNetworkRequest::ContentLengthHeader);
    bool ok = false;
    const qint64 announced = length.toLongLong(&ok);
    if (length.isValid() && ok && announced > maxAnswerBytes_) {
        abortWith(id, failureOf(ServerFailure::Kind::BadAnswer,
                                QStringLiteral("risposta troppo grande")));
    }
}

void Transport::onReadyRead(quint64 id) {
    auto it = jobs_.find(id);
    if (it == jobs_.end() || !it->reply) return;
    const QByteArray chunk = it->reply->readAll();
    if (it->body.size() + chunk.size() > maxAnswerBytes_) {
        abortWith(id, failureOf(ServerFailure::Kind::BadAnswer,
                                QStringLiteral("risposta troppo grande")));
        return;
    }
    it->body.append(chunk);
}

void Transport::onSslErrors(quint64 id, const QList<QSslError>& errors) {
#if QT_CONFIG(ssl)
    auto it = jobs_.find(id);
    if (it == jobs_.end() || !it->reply) return;
    QNetworkReply* reply = it->reply;
    const QList<QSslCertificate> chain = reply->sslConfiguration().peerCertificateChain();
    QSslCertificate leaf = chain.isEmpty() ? QSslCertificate() : chain.first();
    if (leaf.isNull()) leaf = reply->sslConfiguration().peerCertificate();
    for (const QSslError& e : errors) {
        if (!leaf.isNull()) break;
        leaf = e.certificate();
    }
    const QString fingerprint = leaf.isNull() ? QString() : fingerprintOf(leaf);
    const QString trusted = normalizedFingerprint(account_.trustedFingerprint);
    if (!fingerprint.isEmpty() && !trusted.isEmpty() &&
        normalizedFingerprint(fingerprint) == trusted) {
        reply->ignoreSslErrors(errors);
        return;
    }
    ServerFailure failure;
    failure.kind = ServerFailure::Kind::Untrusted;
    failure.detail = errors.isEmpty() ? QString() : shortText(errors.first().errorString(), 200);
    failure.fingerprint = fingerprint;
    failure.certificateText = leaf.isNull() ? QString() : describeCertificate(leaf);
    abortWith(id, failure);
#else
    Q_UNUSED(id);
    Q_UNUSED(errors);
#endif
}

void Transport::onFinished(quint64 id) {
    auto it = jobs_.find(id);
    if (it == jobs_.end()) return;
    Job job = std::move(*it);
    jobs_.erase(it);
    --inFlight_;
    QNetworkReply* reply = job.reply;
    std::optional<ServerFailure> failure = job.abortedFor;
    Answer answer;
    if (reply) {
        reply->disconnect(this);
        reply->deleteLater();
        if (!failure) {
            const QNetworkReply::NetworkError error = reply->error();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const bool httpAnswer =
                status > 0 && (error == QNetworkReply::NoError || int(error) >= 200);
            const QByteArray rest = httpAnswer ? reply->readAll() : QByteArray();
            if (!httpAnswer) {
                failure = networkFailure(error, reply->errorString());
            } else if (job.body.size() + rest.size() > maxAnswerBytes_) {
                failure = failureOf(ServerFailure::Kind::BadAnswer,
                                    QStringLiteral("risposta troppo grande"));
            } else {
                answer.status = status;
                answer.reason =
                    reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
                answer.body = job.body + rest;
                answer.etag = reply->rawHeader("ETag");
                const QByteArray location = reply->rawHeader("Location");
                if (!location.isEmpty() && location.size() <= kMaxShortText) {
                    answer.location =
                        job.request.url.resolved(QUrl::fromEncoded(location, QUrl::TolerantMode));
                }
            }
        }
    } else if (!failure) {
        failure = failureOf(ServerFailure::Kind::Unreachable, QString());
    }
    pump();
    // The callback comes last: it may cancel, or destroy this object.
    job.done(failure, answer);
}

}  // namespace dav

#include "operations/sync/syncservice.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkInformation>

#include "core/agenda.h"
#include "core/dialogs.h"
#include "operations/sync/caldavclient.h"
#include "operations/sync/eventcodec.h"
#include "operations/sync/passwordstore.h"

namespace {

const QString kBoxTitle = QStringLiteral("Sincronizzazione");

}  // namespace

SyncService::SyncService(Agenda& agenda, PasswordStore& passwords, QNetworkAccessManager* network,
                         const QString& taskProgram, QObject* parent)
    : QObject(parent),
      agenda_(agenda),
      passwords_(passwords),
      network_(network),
      taskProgram_(taskProgram) {
    period_.setInterval(kPeriodMs);
    connect(&period_, &QTimer::timeout, this, [this] { syncNow(false); });
    afterSave_.setSingleShot(true);
    afterSave_.setInterval(kAfterSaveMs);
    connect(&afterSave_, &QTimer::timeout, this, [this] { syncNow(false); });
    // An entry archived while no engine runs (no password yet): its record
    // is hidden in the store, so that its event stays on the server.
    connect(&agenda_, &Agenda::entryArchived, this, [this](ListKind kind, quint64 identity) {
        if (engine_ || !store_.isOpen()) return;
        const ListModel& list = agenda_.list(kind);
        for (int row = 0; row < list.entryCount(); ++row) {
            if (list.identity(row) != identity) continue;
            const std::optional<ImportedEntry> entry = syncContentOf(list, row);
            if (!entry) return;
            for (SyncRecord r : store_.records()) {
                if (r.role != SyncRecord::Role::Entry || syncKeyOf(r.content) != syncKeyOf(*entry))
                    continue;
                r.role = SyncRecord::Role::Hidden;
                r.reviewOn = QDate();
                if (!store_.begin() || !store_.put(r) || !store_.commit()) store_.rollback();
                return;
            }
        }
    });
    connect(&agenda_, &Agenda::listSaved, this, [this] {
        if (!engine_ || engine_->isApplying()) return;
        if (engine_->isRunning())
            again_ = true;
        else
            afterSave_.start();
    });
}

SyncService::~SyncService() = default;

std::optional<SyncAccountSettings> SyncService::account() const {
    return store_.isOpen() ? store_.account() : std::nullopt;
}

bool SyncService::isRunning() const {
    return engine_ && engine_->isRunning();
}

void SyncService::setApplyGate(std::function<bool()> gate) {
    gate_ = std::move(gate);
    if (engine_) engine_->setApplyGate(gate_);
}

void SyncService::useServer(CalendarServer* server, EventCodec* codec) {
    dropEngine();
    testServer_ = server;
    testCodec_ = codec;
}

void SyncService::dropEngine() {
    if (engine_) engine_->cancel();
    // Dropped once the signal that may be running returns.
    std::shared_ptr<SyncEngine> engine(engine_.release());
    std::shared_ptr<CalendarServer> client(client_.release());
    if (engine || client) QTimer::singleShot(0, this, [engine, client] {});
}

void SyncService::setStatus(const QString& line) {
    if (line == status_) return;
    status_ = line;
    Q_EMIT statusChanged(line);
}

void SyncService::start() {
    started_ = true;
    const QString path = agenda_.filePath(QString::fromLatin1(kSyncStoreFileName));
    if (!QFileInfo::exists(path)) return;  // never set up
    if (const auto error = store_.open(path)) {
        setStatus(QStringLiteral("Sincronizzazione non disponibile: %1").arg(*error));
        return;
    }
    if (!store_.account()) return;
    period_.start();
    watchNetwork();
    syncNow(false);
}

void SyncService::watchNetwork() {
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    }
    QNetworkInformation* info = QNetworkInformation::instance();
    if (!info || watchingNetwork_) return;
    watchingNetwork_ = true;
    connect(info, &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) {
                if (reachability == QNetworkInformation::Reachability::Online && account())
                    afterSave_.start();
            });
}

void SyncService::makeEngine() {
    if (engine_) return;
    const std::optional<SyncAccountSettings> settings = store_.account();
    if (!settings) return;
    CalendarServer* server = testServer_;
    if (!server) {
        ServerAccount account;
        account.calendar = settings->calendar;
        account.user = settings->user;
        account.password = password_;
        account.trustedFingerprint = settings->trustedFingerprint;
        account.plainHttpConfirmed = settings->plainHttpConfirmed;
        client_ = std::make_unique<CalDavClient>(network_, account);
        server = client_.get();
    }
    EventCodec* codec = testCodec_;
    if (!codec) {
        if (!codec_) codec_ = std::make_unique<IsolatedEventCodec>(taskProgram_);
        codec = codec_.get();
    }
    engine_ = std::make_unique<SyncEngine>(agenda_, store_, *server, *codec);
    engine_->setApplyGate(gate_);
    connect(engine_.get(), &SyncEngine::finished, this, &SyncService::onFinished);
}

void SyncService::withPassword(std::function<void()> then) {
    if (havePassword_ || testServer_) return then();
    const std::optional<SyncAccountSettings> settings = store_.account();
    if (!settings) return;
    const QString key = passwordKey(settings->user, settings->calendar);
    passwords_.read(
        key, [this, then, key, settings](const std::optional<QString>& password, bool keyring) {
            if (password && !passwordRejected_) {
                password_ = *password;
                havePassword_ = true;
                return then();
            }
            // Asked once per run: a pass of the timers never asks again.
            if ((askedForPassword_ || passwordRejected_) && !asked_) {
                setStatus(
                    passwordRejected_
                        ? QStringLiteral("Sincronizzazione sospesa: password non accettata "
                                         "dal server (Impostazioni → Sincronizza ora)")
                        : QStringLiteral("Sincronizzazione sospesa: manca la password del server"));
                return;
            }
            // The question waits while another of the user's is open.
            if (gate_ && !gate_()) {
                QTimer::singleShot(1000, this, [this, then] { withPassword(then); });
                return;
            }
            askedForPassword_ = true;
            QString prompt = QStringLiteral("Password di %1 per il calendario sul server %2:")
                                 .arg(settings->user, settings->calendar.host());
            if (passwordRejected_)
                prompt = QStringLiteral("Il server non ha accettato la password.\n") + prompt;
            if (!keyring)
                prompt += QStringLiteral(
                    "\n(Non c'è un portachiavi del desktop: la password resta in memoria "
                    "fino alla chiusura di Ricordel.)");
            const std::optional<QString> typed = agenda_.dialogs().password(prompt, kBoxTitle);
            if (!typed || typed->isEmpty()) {
                setStatus(QStringLiteral("Sincronizzazione sospesa: manca la password del server"));
                return;
            }
            password_ = *typed;
            havePassword_ = true;
            passwordRejected_ = false;
            passwords_.write(key, password_, [](bool) {});
            then();
        });
}

void SyncService::syncNow(bool asked) {
    if (stopped_) return;
    if (!store_.isOpen() || !store_.account()) {
        if (asked)
            agenda_.dialogs().notice(QStringLiteral("Nessun calendario sul server: sceglilo in "
                                                    "Impostazioni → Calendario sul server."),
                                     MsgIcon::Information, kBoxTitle);
        return;
    }
    if (asked) asked_ = true;
    if (isRunning()) return;
    withPassword([this] {
        makeEngine();
        if (!engine_ || engine_->isRunning()) return;
        setStatus(QStringLiteral("Sincronizzazione in corso..."));
        engine_->start();
    });
}

void SyncService::onFinished(const SyncReport& report) {
    setStatus(report.statusLine());
    const bool asked = asked_;
    asked_ = false;
    Q_EMIT finished(report);
    if (report.failure && report.failure->kind == ServerFailure::Kind::Unauthorized) {
        // The password is asked again at the next sync the user asks for.
        havePassword_ = false;
        passwordRejected_ = true;
        dropEngine();
    }
    if (asked) {
        std::optional<SyncAccountSettings> settings = store_.account();
        const ServerFailure::Kind kind =
            report.failure ? report.failure->kind : ServerFailure::Kind::Other;
        if (settings && report.failure &&
            (kind == ServerFailure::Kind::Untrusted || kind == ServerFailure::Kind::InsecureHttp)) {
            const QString question = kind == ServerFailure::Kind::Untrusted
                                         ? certificateQuestion(settings->calendar, *report.failure)
                                         : plainHttpQuestion(settings->calendar);
            if (agenda_.dialogs().message(question, MsgButtons::YesNo, MsgIcon::Exclamation,
                                          kBoxTitle) == MsgAnswer::Yes) {
                if (kind == ServerFailure::Kind::Untrusted)
                    settings->trustedFingerprint = report.failure->fingerprint;
                else
                    settings->plainHttpConfirmed = true;
                if (store_.begin() && store_.setAccount(*settings) && store_.commit()) {
                    dropEngine();
                    syncNow(true);
                    return;
                }
                store_.rollback();
            }
        } else {
            agenda_.dialogs().notice(
                report.text(), report.succeeded() ? MsgIcon::Information : MsgIcon::Exclamation,
                kBoxTitle);
        }
    }
    if (again_) {
        again_ = false;
        afterSave_.start();
    }
}

std::optional<QString> SyncService::setAccount(const SyncAccountSettings& account,
                                               const QString& password) {
    dropEngine();
    const QString path = agenda_.filePath(QString::fromLatin1(kSyncStoreFileName));
    if (!store_.isOpen())
        if (const auto error = store_.open(path)) return error;
    const std::optional<SyncAccountSettings> before = store_.account();
    const bool sameCalendar =
        before && before->calendar == account.calendar && before->user == account.user;
    // Another calendar: what was agreed with the old one means nothing there.
    if (!sameCalendar && !store_.clear()) return store_.lastError();
    if (!store_.begin() || !store_.setAccount(account) || !store_.commit()) {
        store_.rollback();
        return store_.lastError();
    }
    password_ = password;
    havePassword_ = true;
    passwordRejected_ = false;
    passwords_.write(passwordKey(account.user, account.calendar), password, [this](bool keyring) {
        if (!keyring)
            setStatus(QStringLiteral(
                "Non c'è un portachiavi del desktop: la password resta in memoria fino alla "
                "chiusura di Ricordel."));
    });
    period_.start();
    watchNetwork();
    syncNow(true);
    return std::nullopt;
}

void SyncService::turnOff() {
    dropEngine();
    period_.stop();
    afterSave_.stop();
    if (const auto settings = account())
        passwords_.forget(passwordKey(settings->user, settings->calendar), [] {});
    store_.clear();
    store_.close();
    QFile::remove(agenda_.filePath(QString::fromLatin1(kSyncStoreFileName)));
    password_.clear();
    havePassword_ = false;
    setStatus(QString());
}

void SyncService::stop() {
    dropEngine();
    period_.stop();
    afterSave_.stop();
    stopped_ = true;
}

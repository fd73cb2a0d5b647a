#include "operations/sync/passwordstore.h"

#include <qt6keychain/keychain.h>
#include <QTimer>

namespace {

const QString kKeyringService = QStringLiteral("Ricordel");

// A job on the keyring: never the plain-text file QtKeychain can fall back
// to, deleted by itself once it has answered.
template <class Job>
Job* keyringJob(const QString& account) {
    auto* job = new Job(kKeyringService);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(account);
    return job;
}

}  // namespace

struct KeychainPasswordStore::Private {
    // Passwords no keyring took, for this run only.
    QHash<QString, QString> memory;
};

KeychainPasswordStore::KeychainPasswordStore(QObject* parent)
    : QObject(parent), d(std::make_unique<Private>()) {}

KeychainPasswordStore::~KeychainPasswordStore() = default;

void KeychainPasswordStore::read(const QString& account, Read done) {
    const auto kept = d->memory.constFind(account);
    if (kept != d->memory.constEnd()) {
        QTimer::singleShot(0, this,
                           [done = std::move(done), password = *kept] { done(password, false); });
        return;
    }
    auto* job = keyringJob<QKeychain::ReadPasswordJob>(account);
    // Tied to this store: a job that answers after it is gone calls nobody.
    connect(job, &QKeychain::Job::finished, this, [job, done = std::move(done)] {
        switch (job->error()) {
            case QKeychain::NoError:
                done(job->textData(), true);
                return;
            case QKeychain::EntryNotFound:
                done(std::nullopt, true);
                return;
            default:
                // No keyring, or none that lets us in.
                done(std::nullopt, false);
                return;
        }
    });
    job->start();
}

void KeychainPasswordStore::write(const QString& account, const QString& password, Written done) {
    auto* job = keyringJob<QKeychain::WritePasswordJob>(account);
    job->setTextData(password);
    connect(job, &QKeychain::Job::finished, this,
            [this, job, account, password, done = std::move(done)] {
                if (job->error() == QKeychain::NoError) {
                    // The keyring has it now; an older copy in memory would
                    // hide it from read().
                    d->memory.remove(account);
                    done(true);
                } else {
                    d->memory.insert(account, password);
                    done(false);
                }
            });
    job->start();
}

void KeychainPasswordStore::forget(const QString& account, std::function<void()> done) {
    d->memory.remove(account);
    auto* job = keyringJob<QKeychain::DeletePasswordJob>(account);
    // Gone, not there, or no keyring: nothing is kept either way.
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)] { done(); });
    job->start();
}

void MemoryPasswordStore::read(const QString& account, Read done) {
    std::optional<QString> password;
    const auto kept = passwords_.constFind(account);
    if (kept != passwords_.constEnd()) password = *kept;
    QTimer::singleShot(0, this, [done = std::move(done), password, keyring = keyring_] {
        done(password, keyring);
    });
}

void MemoryPasswordStore::write(const QString& account, const QString& password, Written done) {
    passwords_.insert(account, password);
    QTimer::singleShot(0, this, [done = std::move(done), keyring = keyring_] { done(keyring); });
}

void MemoryPasswordStore::forget(const QString& account, std::function<void()> done) {
    passwords_.remove(account);
    QTimer::singleShot(0, this, [done = std::move(done)] { done(); });
}

QString passwordKey(const QString& user, const QUrl& calendar) {
    // The address without user and password, so that no password is ever
    // part of a name the keyring shows.
    return user % QLatin1Char('@') % calendar.toString(QUrl::RemoveUserInfo);
}

#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

#include "operations/calendarreading.h"

// The file, in the data folder, that keeps the server's settings (never the
// password) and what the last sync agreed on.
inline constexpr char kSyncStoreFileName[] = "Sincronizzazione.sqlite";

// One event of the server as the last sync left it.
struct SyncRecord {
    enum class Role {
        Entry,     // paired with an entry of the lists, whose content is `content`
        Hidden,    // an event the lists do not show (past, too far ahead, not
                   // an event): kept so that it is neither fetched again nor touched
        Detached,  // a series whose shown occurrence was edited or deleted in
                   // the lists: its next occurrence is shown from reviewOn
    };
    qint64 key = 0;  // the store's number for it; 0: not stored yet
    Role role = Role::Entry;
    ImportedEntry content;  // Entry: what both sides agreed on
    QString href;           // the object's path on the server
    QByteArray etag;        // empty: sent to the server, not yet confirmed
    QByteArray uid;
    QByteArray ics;  // the object as last read from or written to the server
    QDate reviewOn;  // when its reading may change with time alone; null: never

    bool operator==(const SyncRecord&) const = default;
};

// The account as the store keeps it.
struct SyncAccountSettings {
    QUrl calendar;
    QString user;
    QString trustedFingerprint;
    bool plainHttpConfirmed = false;
    bool operator==(const SyncAccountSettings&) const = default;
};

// An SQLite file (through QtSql) with a rollback journal and full
// synchronisation: a crash, a kill or a full disk leaves what the last
// commit wrote, or what was there before it, never a mix.
class SyncStore {
  public:
    SyncStore();
    ~SyncStore();
    SyncStore(const SyncStore&) = delete;
    SyncStore& operator=(const SyncStore&) = delete;

    // Opens the store at `path`, making it when missing. Returns why it
    // could not be opened, in Italian.
    std::optional<QString> open(const QString& path);
    bool isOpen() const;
    void close();

    std::optional<SyncAccountSettings> account() const;
    QByteArray token() const;
    // In key order. A row whose values are out of range or over their
    // bounds (a damaged or edited file) is left out and counted.
    QList<SyncRecord> records() const;
    // Rows the last records() left out.
    int skippedRecords() const;

    // Changes made between begin() and commit() are kept all or none.
    // Each returns false on a failure, whose reason lastError() gives.
    bool begin();
    bool commit();
    void rollback();
    bool setAccount(const SyncAccountSettings& account);
    bool setToken(const QByteArray& token);
    bool put(SyncRecord& record);  // inserts (giving it a key) or replaces
    bool remove(qint64 key);
    // Forgets the account, the token and every record.
    bool clear();

    QString lastError() const;

  private:
    struct Private;
    std::unique_ptr<Private> d;
};

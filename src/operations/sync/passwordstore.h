#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// Where the server's password is kept: the desktop's keyring (the Secret
// Service), never a file of the program. Every call answers once, later.
class PasswordStore {
  public:
    virtual ~PasswordStore() = default;
    // `account` names the password ("user@https://host/path/").
    // done(password or none, whether a keyring answered).
    using Read = std::function<void(const std::optional<QString>& password, bool keyring)>;
    using Written = std::function<void(bool keptInKeyring)>;
    virtual void read(const QString& account, Read done) = 0;
    // Keeps the password; when no keyring takes it, it is kept in memory
    // for this run only (done(false)).
    virtual void write(const QString& account, const QString& password, Written done) = 0;
    virtual void forget(const QString& account, std::function<void()> done) = 0;
};

// The keyring through QtKeychain, with the memory of this run beside it.
class KeychainPasswordStore : public QObject, public PasswordStore {
    Q_OBJECT
  public:
    explicit KeychainPasswordStore(QObject* parent = nullptr);
    ~KeychainPasswordStore() override;
    void read(const QString& account, Read done) override;
    void write(const QString& account, const QString& password, Written done) override;
    void forget(const QString& account, std::function<void()> done) override;

  private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Memory only: for the tests, and as the run's memory of the keyring store.
class MemoryPasswordStore : public QObject, public PasswordStore {
    Q_OBJECT
  public:
    using QObject::QObject;
    void read(const QString& account, Read done) override;
    void write(const QString& account, const QString& password, Written done) override;
    void forget(const QString& account, std::function<void()> done) override;
    // Whether read() answers as if a keyring were there.
    void setKeyring(bool present) { keyring_ = present; }

  private:
    QHash<QString, QString> passwords_;
    bool keyring_ = true;
};

// The name under which an account's password is kept.
QString passwordKey(const QString& user, const QUrl& calendar);

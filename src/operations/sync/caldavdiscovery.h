#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

#include "operations/sync/caldavclient.h"

class QNetworkAccessManager;

struct CalendarInfo {
    QUrl url;      // the collection, ending with '/'
    QString name;  // its display name, or the last segment of its path
};

// Finds the user's calendars from what the user typed, as the set-up
// dialog and "--sync-setup" need it.
class CalDavDiscovery : public QObject {
    Q_OBJECT
  public:
    struct Found {
        QList<CalendarInfo> calendars;
        QUrl homeSet;  // where a new calendar can be made; empty if unknown
        // True when the address typed is itself a calendar (its only entry
        // in `calendars`).
        bool addressIsCalendar = false;
    };
    using Done = std::function<void(const std::optional<ServerFailure>&, const Found&)>;
    using Created = std::function<void(const std::optional<ServerFailure>&, const QUrl& calendar)>;

    explicit CalDavDiscovery(QNetworkAccessManager* network, QObject* parent = nullptr);
    ~CalDavDiscovery() override;

    // From account.calendar: a calendar's own address is taken as it is;
    // from a server's root, /.well-known/caldav, current-user-principal and
    // calendar-home-set lead to the calendars (VEVENT ones) of the home set.
    void discover(const ServerAccount& account, Done done);
    // Makes a calendar named `name` in `homeSet` (MKCALENDAR).
    void createCalendar(const ServerAccount& account, const QUrl& homeSet, const QString& name,
                        Created done);
    void cancel();

  private:
    struct Private;
    std::unique_ptr<Private> d;
};

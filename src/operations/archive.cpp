#include "operations/archive.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <cmath>
#include <optional>

#include "core/agenda.h"
#include "core/dates.h"
#include "core/listmodel.h"
#include "core/numeric.h"
#include "core/win1252.h"
#include "operations/operations.h"
#include "operations/rowcommand.h"

QString archivePath(int year) {
    return QString::fromLatin1(kArchiveFolder) + QLatin1Char('/') + QString::number(year) +
           QStringLiteral(".txt");
}

QByteArray archiveLine(int day, int month, const AgendaEntry& entry) {
    const QString line = QStringLiteral("%1,%2,\"%3\",\"%4\"\r\n")
                             .arg(day)
                             .arg(month)
                             .arg(entry.message, entry.time);
    return win1252::encode(line);
}

std::optional<QString> appendArchiveLine(const QString& path, const QByteArray& line) {
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("impossibile creare la cartella %1").arg(folder);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return file.errorString();
    // One write of the whole line, so a failure cannot leave half a line after
    // the earlier ones; a short write is cut back to the old length.
    const qint64 oldSize = file.size();
    const qint64 written = file.write(line);
    const bool flushed = file.flush();
    if (written != line.size() || !flushed) {
        const QString reason = file.errorString();
        file.resize(oldSize);
        return reason.isEmpty() ? QStringLiteral("scrittura incompleta") : reason;
    }
    return std::nullopt;
}

void archiveEntry(Agenda& agenda, ListSelection& shown) {
    RowCommand command(agenda, shown);
    if (!command.hasRow()) return;
    Dialogs& dialogs = agenda.dialogs();

    // Day and month as the list file stores them: 29/2 keeps its numbers in a
    // common year. A date that is no day at all would give a line nobody can
    // read back, so the entry stays.
    const std::optional<DayMonth> dayMonth = dateTextOfAnyYear(command.entry().date);
    if (!dayMonth) {
        dialogs.notice(QStringLiteral("Data non valida"), MsgIcon::Critical, QString());
        return;
    }
    if (!command.confirm(QStringLiteral("CONFERMA ARCHIVIAZIONE"))) return;

    const QString path = archivePath(agenda.clock().year());
    const std::optional<QString> failure = appendArchiveLine(
        agenda.filePath(path), archiveLine(dayMonth->day, dayMonth->month, command.entry()));
    if (failure) {
        dialogs.notice(QStringLiteral("Impossibile scrivere nell'archivio %1: %2.\n"
                                      "L'appuntamento resta nella lista.")
                           .arg(QDir::toNativeSeparators(path), *failure),
                       MsgIcon::Critical, QStringLiteral("Errore"));
        return;
    }
    agenda.announceArchived(ListKind::Appointments, command.row());
    agenda.appointments().removeAt(command.row());
    // A failed write has been reported: the entry is in the archive and still
    // in the list file, and the removal waits for the next save.
    if (!saveAppointmentsList(agenda, shown)) agenda.setListsModified(true);
}

void openArchive(Agenda& agenda, ArchiveViewer& viewer) {
    Dialogs& dialogs = agenda.dialogs();
    const QString answer =
        dialogs.input(QStringLiteral("Anno ?"), QStringLiteral("Apertura Archivio"),
                      QString::number(agenda.clock().year()));
    if (answer.isEmpty()) return;

    const double value = numericValueOf(answer);
    const std::optional<std::int16_t> year = toInt16(value);
    if (!year) {
        // No archive is ever written for a year beyond 16 bits.
        const double rounded = roundHalfEven(value);
        const QString text =
            std::isfinite(rounded)
                ? QStringLiteral("Archivio Anno %1 non esistente").arg(formatNumber(rounded))
                : QStringLiteral("Anno non valido: %1").arg(answer);
        dialogs.notice(text, MsgIcon::Exclamation, QString());
        return;
    }

    const QString path = agenda.filePath(archivePath(*year));
    if (!QFileInfo(path).isFile()) {
        dialogs.notice(QStringLiteral("Archivio Anno %1 non esistente").arg(*year),
                       MsgIcon::Exclamation, QString());
        return;
    }
    // The environment may name a Windows folder that does not hold the
    // editor: the usual one is tried then.
    if (viewer.open(path, qEnvironmentVariable("SystemRoot"))) return;
    if (viewer.open(path, QString::fromLatin1(kFallbackWindowsFolder))) return;
    dialogs.notice(QStringLiteral("Impossibile avviare un programma per visualizzare "
                                  "l'archivio %1.")
                       .arg(QDir::toNativeSeparators(archivePath(*year))),
                   MsgIcon::Critical, QString());
}

bool DesktopArchiveViewer::open(const QString& path, const QString& windowsFolder) {
#ifdef Q_OS_WIN
    const QString editor = windowsFolder + QStringLiteral("\\notepad.exe");
    return QProcess::startDetached(editor, {QDir::toNativeSeparators(path)});
#else
    Q_UNUSED(windowsFolder);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
#endif
}

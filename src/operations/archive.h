#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "core/agendaentry.h"

// The yearly archive of done appointments.

inline constexpr char kArchiveFolder[] = "Archivio";

// "Archivio/2026.txt": the archive file of a year, relative to the data folder.
QString archivePath(int year);

// One archive line: day, month, quoted message, quoted time, CR LF, in
// Windows-1252. The message is written as it stands, quotes and all.
QByteArray archiveLine(int day, int month, const AgendaEntry& entry);

// Appends one line to a file, creating the file and its folder when missing.
// Returns the reason on failure; the file then holds at most what it held.
std::optional<QString> appendArchiveLine(const QString& path, const QByteArray& line);

// The folder that replaces the environment's Windows folder when the text
// editor cannot be started from there.
inline constexpr char kFallbackWindowsFolder[] = "c:\\windows";

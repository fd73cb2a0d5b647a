#pragma once

#include <QString>

// One row of a list: date text (day "/" month), message, time text
// (appointments only) and the ID cell that no operation writes.
struct AgendaEntry {
    QString date;
    QString message;
    QString time;
    QString id;

    friend bool operator==(const AgendaEntry&, const AgendaEntry&) = default;
};

// Text on its way into a list: a double quote, which the files cannot carry,
// becomes an apostrophe; TAB, CR and LF, which would split the row or the
// record, become spaces.
QString CleanCellText(QString text);

// Builds an entry from row text: the pieces between TAB characters fill the
// date, the message and the time in turn.
AgendaEntry EntryFromRowText(const QString& rowText);

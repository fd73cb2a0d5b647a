#include "core/agendaentry.h"

#include <QStringList>

QString CleanCellText(QString text) {
    for (QChar& c : text) {
        if (c == u'"')
            c = u'\'';
        else if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    }
    return text;
}

AgendaEntry EntryFromRowText(const QString& rowText) {
    const QStringList parts = rowText.split(u'\t');
    AgendaEntry e;
    e.date = parts.value(0);
    e.message = parts.value(1);
    e.time = parts.value(2);
    e.id = parts.value(3);
    return e;
}

#include "core/settings.h"

#include <QList>

#include <algorithm>
#include <optional>

#include "core/agendaentry.h"
#include "core/fileio.h"
#include "core/itemreader.h"
#include "core/numeric.h"
#include "core/win1252.h"

namespace {

enum class Kind { Boolean, Text, Integer, Minutes };

struct Field {
    Kind kind;
    const char* key;
    bool Settings::*boolean = nullptr;
    QString Settings::*text = nullptr;
};

// The records in file order.
const Field kFields[] = {
    {Kind::Boolean, "Ord", &Settings::sortAscending, nullptr},
    {Kind::Text, "Suono1", nullptr, &Settings::deadlineSound},
    {Kind::Text, "Suono2", nullptr, &Settings::appointmentSound},
    {Kind::Text, "Suono3", nullptr, &Settings::anniversarySound},
    {Kind::Text, "Suono4", nullptr, &Settings::alarmSound},
    {Kind::Boolean, "NewMsg", &Settings::newMessageBox, nullptr},
    {Kind::Text, "percorso immagini", nullptr, &Settings::picturesFolder},
    {Kind::Integer, "giorni preavviso", nullptr, nullptr},
    {Kind::Minutes, "minuti preavviso", nullptr, nullptr},
};

// A whole number of warning minutes, digits only, from 0 to 1440.
std::optional<int> warningMinutesOf(const FileItem& item) {
    const QString text = item.text.trimmed();
    if (item.quoted || text.isEmpty() || text.size() > 4) return std::nullopt;
    for (QChar c : text)
        if (c < u'0' || c > u'9') return std::nullopt;
    const int minutes = text.toInt();
    if (minutes > 1440) return std::nullopt;
    return minutes;
}

bool hasDigit(const QString& s) {
    for (QChar c : s)
        if (c.isDigit()) return true;
    return false;
}

}  // namespace

void parseSettings(const QByteArray& bytes, Settings& into) {
    ItemReader reader(bytes);
    into.alarmWarningMinutes = 0;
    for (const Field& field : kFields) {
        reader.skipBlankLines();
        if (reader.atEnd()) return;
        // The value is the first item of the record; the key and anything
        // after it are read and dropped, so position alone decides the setting.
        reader.beginLine();
        const FileItem value = reader.next();
        while (!reader.lineEnded()) reader.next();
        switch (field.kind) {
            case Kind::Boolean: {
                const QString v = value.text.trimmed().toUpper();
                if (!value.quoted && v == u"#TRUE#") into.*field.boolean = true;
                if (!value.quoted && v == u"#FALSE#") into.*field.boolean = false;
                break;
            }
            case Kind::Text:
                into.*field.text = cleanCellText(value.text);
                break;
            case Kind::Integer: {
                if (value.quoted || !hasDigit(value.text)) break;
                if (const auto n = toInt16(numericValueOf(value.text))) into.daysOfNotice = *n;
                break;
            }
            case Kind::Minutes:
                into.alarmWarningMinutes = warningMinutesOf(value).value_or(0);
                break;
        }
    }
}

void Settings::load(const QString& path) {
    if (const auto bytes = readWholeFile(path)) parseSettings(*bytes, *this);
}

std::optional<QString> Settings::save(const QString& path) const {
    return writeFileAtomically(path, serializeSettings(*this));
}

bool settingsCanHold(const QString& text) {
    return cleanCellText(text) == text;
}

QByteArray serializeSettings(const Settings& settings) {
    QByteArray out;
    for (const Field& field : kFields) {
        switch (field.kind) {
            case Kind::Boolean:
                out += (settings.*field.boolean) ? "#TRUE#" : "#FALSE#";
                break;
            case Kind::Text:
                out += '"' + win1252::encode(cleanCellText(settings.*field.text)) + '"';
                break;
            case Kind::Integer:
                out += QByteArray::number(settings.daysOfNotice);
                break;
            case Kind::Minutes:
                out += QByteArray::number(std::clamp(settings.alarmWarningMinutes, 0, 1440));
                break;
        }
        out += ",\"";
        out += field.key;
        out += "\"\r\n";
    }
    return out;
}

#pragma once

#include <QByteArray>
#include <QList>

#include <array>
#include <optional>
#include <utility>

// The bytes of the program's files, built by hand so that a test does not
// make its input with the code it checks.

// One record of a list file: day, month, the quoted message and, for the
// appointments, the quoted time; CR LF. Texts are Windows-1252 bytes.
struct ListLine {
    ListLine(int day, int month, QByteArray message, std::optional<QByteArray> time = {})
        : day(day), month(month), message(std::move(message)), time(std::move(time)) {}

    int day = 0;
    int month = 0;
    QByteArray message;
    std::optional<QByteArray> time;

    QByteArray bytes() const {
        QByteArray out =
            QByteArray::number(day) + ',' + QByteArray::number(month) + ",\"" + message + '"';
        if (time) out += ",\"" + *time + '"';
        return out + "\r\n";
    }
};

// A list file of `lines`, in order.
inline QByteArray listFile(const QList<ListLine>& lines) {
    QByteArray out;
    for (const ListLine& line : lines) out += line.bytes();
    return out;
}

// The eight records of "Ricordel.ini" a reader takes by position, with the
// keys the program writes; `warningMinutes` adds the ninth.
struct SettingsFile {
    bool ascending = true;
    std::array<QByteArray, 4> sounds;  // "Suono1" to "Suono4"
    bool newMsg = false;
    QByteArray pictures;
    int days = 5;
    std::optional<int> warningMinutes;

    QByteArray bytes() const {
        const auto flag = [](bool on) { return QByteArray(on ? "#TRUE#" : "#FALSE#"); };
        QByteArray out = flag(ascending) + ",\"Ord\"\r\n";
        for (int i = 0; i < 4; ++i)
            out += '"' + sounds[i] + "\",\"Suono" + QByteArray::number(i + 1) + "\"\r\n";
        out += flag(newMsg) + ",\"NewMsg\"\r\n\"" + pictures + "\",\"percorso immagini\"\r\n" +
               QByteArray::number(days) + ",\"giorni preavviso\"\r\n";
        if (warningMinutes)
            out += QByteArray::number(*warningMinutes) + ",\"minuti preavviso\"\r\n";
        return out;
    }
};

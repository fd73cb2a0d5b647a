#pragma once

#include <QString>

#include <array>

struct Settings;

// The three lists, in the order the agenda keeps them.
enum class ListKind { Appointments = 0, Deadlines = 1, Anniversaries = 2 };

inline constexpr std::array<ListKind, 3> kAllListKinds{ListKind::Appointments, ListKind::Deadlines,
                                                       ListKind::Anniversaries};

// Everything that differs between the lists' data, in one table, so the code
// looks a trait up instead of switching on the kind. How a list looks on
// screen is the window's business (ui/listview.h).
struct ListTraits {
    ListKind kind;
    const char* tabCaption;      // "Appuntamenti", also the calendar category
    const char* fileBase;        // "Ricordel"
    const char* fileName;        // "Ricordel.dat"
    const char* tableName;       // database table
    const char* noun;            // in the insert and delete button captions
    const char* defaultMessage;  // offered as the start of a new message
    bool hasTime;                // appointments carry a time
    int itemsPerRecord;          // items of one record in the list file
    QString Settings::*sound;    // the list's sound setting
    std::array<const char*, 4> headers;
};

const ListTraits& listTraits(ListKind kind);
const ListTraits& traitsForTab(int tab);  // tab outside 0..2 gives the appointments
ListKind kindForTab(int tab);

// The name of the list's file in the data folder: "Ricordel.dat".
inline QString listFileName(ListKind kind) {
    return QString::fromLatin1(listTraits(kind).fileName);
}

inline int tabOf(ListKind kind) {
    return static_cast<int>(kind);
}

#pragma once

#include <QColor>
#include <QString>

#include <array>

struct Settings;

// The three lists, in tab order.
enum class ListKind { Appuntamenti = 0, Scadenze = 1, Ricorrenze = 2 };

inline constexpr std::array<ListKind, 3> kAllListKinds{ListKind::Appuntamenti, ListKind::Scadenze,
                                                       ListKind::Ricorrenze};

// Everything that differs between the lists, in one table, so the code
// looks a trait up instead of switching on the kind.
struct ListTraits {
    ListKind kind;
    int tab;                       // index of the list's tab in SSTab1
    const char* tabCaption;        // "Appuntamenti"
    const char* gridName;          // "FGrid1"
    const char* fileBase;          // "Ricordel"
    const char* fileName;          // "Ricordel.dat"
    const char* tableName;         // database table
    const char* noun;              // in the insert and delete button captions
    const char* defaultMessage;    // offered as the start of a new message
    bool hasTime;                  // appointments carry a time
    int itemsPerRecord;            // items of one record in the list file
    QString Settings::*sound;      // the list's sound setting
    QRgb tabColour;                // TabColour, also the grid's header colour
    QRgb emptyAreaColour;          // the grid's area below the last row
    std::array<int, 4> columnTwips;  // column widths; 0 hides a column
    std::array<const char*, 4> headers;
};

const ListTraits& Traits(ListKind kind);
const ListTraits& TraitsForTab(int tab);  // tab outside 0..2 gives the appointments
ListKind KindForTab(int tab);

inline int TabOf(ListKind kind) { return static_cast<int>(kind); }

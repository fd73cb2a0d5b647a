#include "ui/fonts.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

struct FontStandIns {
    QString family;
    QStringList candidates;
};

// The faces the windows were drawn with, and the free faces closest to each:
// Liberation Sans has Arial's metrics, so it keeps the captions inside their
// controls; Comic Neue is the nearest in spirit to Comic Sans.
const QList<FontStandIns>& standIns() {
    static const QList<FontStandIns> table = {
        {QStringLiteral("MS Sans Serif"),
         {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
          QStringLiteral("DejaVu Sans")}},
        {QStringLiteral("Arial"),
         {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")}},
        {QStringLiteral("Comic Sans MS"),
         {QStringLiteral("Comic Neue"), QStringLiteral("Comic Relief"),
          QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")}},
    };
    return table;
}

bool containsFamily(const QStringList& installed, const QString& family) {
    return installed.contains(family, Qt::CaseInsensitive);
}

}  // namespace

QStringList chooseFontSubstitutes(const QString& family, const QStringList& installed) {
    if (containsFamily(installed, family)) return {};
    for (const FontStandIns& entry : standIns()) {
        if (family.compare(entry.family, Qt::CaseInsensitive) != 0) continue;
        QStringList chosen;
        for (const QString& candidate : entry.candidates) {
            if (containsFamily(installed, candidate)) chosen << candidate;
        }
        return chosen;
    }
    return {};
}

void installFontSubstitutes() {
    const QStringList installed = QFontDatabase::families();
    for (const FontStandIns& entry : standIns()) {
        const QString family = entry.family;
        const QStringList chosen = chooseFontSubstitutes(family, installed);
        if (!chosen.isEmpty()) QFont::insertSubstitutions(family, chosen);
    }
}

bool loadItalianTranslation(QCoreApplication& app) {
    return loadItalianTranslation(app, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

bool loadItalianTranslation(QCoreApplication& app, const QString& folder) {
    // Parented to the application so that it lives as long as the texts it
    // translates.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

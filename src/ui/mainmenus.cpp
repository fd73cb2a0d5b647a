#include "ui/mainmenus.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>

#include <functional>

#include "core/agenda.h"
#include "core/database.h"
#include "core/dialogs.h"
#include "core/listkind.h"
#include "core/listselection.h"
#include "operations/calendarexport.h"
#include "operations/operations.h"
#include "ui/backgroundchooser.h"
#include "ui/filedialogs.h"
#include "ui/mainwindow.h"
#include "ui/noticedaysdialog.h"

namespace {

QAction* addItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QMenu* addMenu(QMenuBar* bar, QMenu* parent, const char* name, const QString& title) {
    QMenu* menu = parent ? parent->addMenu(title) : bar->addMenu(title);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

}  // namespace

MainMenus::MainMenus(QMainWindow& window, Agenda& agenda, ListSelection& shown,
                     const MainWindowServices& services)
    : QObject(&window), window_(window), agenda_(agenda), shown_(shown), services_(services) {
    QMenuBar* bar = window.menuBar();
    bar->setObjectName(QStringLiteral("Form1MenuBar"));
    buildSettingsMenu(addMenu(bar, nullptr, "mnuImpostazioni", QStringLiteral("&Impostazioni")));

    QMenu* view = addMenu(bar, nullptr, "mnuVisualizza", QStringLiteral("&Visualizza"));
    connect(addItem(view, "mnuRemember", QStringLiteral("&Ricordel")), &QAction::triggered, this,
            &MainMenus::remindersRequested);
    connect(addItem(view, "mnuArchivio", QStringLiteral("&Archivio")), &QAction::triggered, this,
            [this] { openArchive(agenda_, *services_.archiveViewer); });

    QMenu* help = addMenu(bar, nullptr, "mnuDebug", QStringLiteral("?"));
    connect(addItem(help, "mnuProva2", QStringLiteral("&Prova allarme")), &QAction::triggered, this,
            &MainMenus::alarmTestRequested);
    connect(addItem(help, "mnuCopiaDB", QStringLiteral("&Copia dati in DB")), &QAction::triggered,
            this, [this] { copyListsToDatabase(agenda_, &shown_); });
    connect(addItem(help, "mnuEsporta", QStringLiteral("&Esporta calendario...")),
            &QAction::triggered, this, [this] { exportCalendar(); });
    connect(addItem(help, "mnuImporta", QStringLiteral("&Importa calendario...")),
            &QAction::triggered, this, [this] { importCalendar(); });

    // Popup menus only: never on the menu bar.
    postpone_ = new QMenu(QStringLiteral("&Sposta"), &window);
    postpone_->setObjectName(QStringLiteral("mnuSposta"));
    const struct {
        const char* name;
        const char* caption;
        std::function<void(Agenda&, ListSelection&)> command;
    } postponeItems[] = {
        {"mnuRim30", "&Rimanda di 1/2 ora",
         [](Agenda& a, ListSelection& s) { postponeByMinutes(a, s, 30); }},
        {"mnuRim60", "&Rimanda di 1 ora",
         [](Agenda& a, ListSelection& s) { postponeByMinutes(a, s, 60); }},
        {"mnuRimGio", "&Rimanda di 1 giorno",
         [](Agenda& a, ListSelection& s) { postponeByDays(a, s, 1); }},
        {"mnuRimSet", "&Rimanda di 1 settimana",
         [](Agenda& a, ListSelection& s) { postponeByDays(a, s, 7); }},
        {"mnuRimMes", "&Rimanda di 1 mese",
         [](Agenda& a, ListSelection& s) { postponeByDays(a, s, 30); }},
        {"mnuArchivia", "&Archivia", [](Agenda& a, ListSelection& s) { archiveEntry(a, s); }},
    };
    for (const auto& item : postponeItems) {
        QAction* action = addItem(postpone_, item.name, QString::fromLatin1(item.caption));
        connect(action, &QAction::triggered, this,
                [this, command = item.command] { command(agenda_, shown_); });
    }
}

void MainMenus::buildSettingsMenu(QMenu* settings) {
    QMenu* order = addMenu(nullptr, settings, "mnuOrdine", QStringLiteral("&Ordine"));
    sortAscending_ = addItem(order, "mnuOrdCre", QStringLiteral("&Crescente"));
    sortDescending_ = addItem(order, "mnuOrdDec", QStringLiteral("&Decrescente"));
    sortAscending_->setCheckable(true);
    sortDescending_->setCheckable(true);
    connect(sortAscending_, &QAction::triggered, this, [this] {
        sortAscending_->setChecked(true);
        sortDescending_->setChecked(false);
        setSortOrder(agenda_, true, &shown_);
    });
    connect(sortDescending_, &QAction::triggered, this, [this] {
        sortDescending_->setChecked(true);
        sortAscending_->setChecked(false);
        setSortOrder(agenda_, false, &shown_);
    });

    QMenu* sounds = addMenu(nullptr, settings, "mnuSuoni", QStringLiteral("&Suoni"));
    const struct {
        const char* name;
        const char* caption;
        QString Settings::*sound;
    } soundItems[] = {
        {"mnuAppuntamenti", "Appuntamenti", listTraits(ListKind::Appointments).sound},
        {"mnuScadenze", "Scadenze", listTraits(ListKind::Deadlines).sound},
        {"mnuRicorrenze", "Ricorrenze", listTraits(ListKind::Anniversaries).sound},
        {"mnuAllarme", "Allarme", &Settings::alarmSound},
    };
    for (const auto& item : soundItems) {
        QAction* action = addItem(sounds, item.name, QString::fromLatin1(item.caption));
        connect(action, &QAction::triggered, this,
                [this, sound = item.sound] { chooseSoundFile(sound); });
    }

    // How long before an appointment its alarm warns: one choice of six.
    QMenu* warning =
        addMenu(nullptr, settings, "mnuPreavvisoAllarme", QStringLiteral("Preavviso &allarme"));
    warningChoices_ = new QActionGroup(&window_);
    warningChoices_->setExclusive(true);
    const std::pair<int, QString> warnings[] = {
        {0, QStringLiteral("Nessuno")},    {5, QStringLiteral("5 minuti")},
        {10, QStringLiteral("10 minuti")}, {15, QStringLiteral("15 minuti")},
        {30, QStringLiteral("30 minuti")}, {60, QStringLiteral("1 ora")}};
    for (const auto& [minutes, caption] : warnings) {
        QAction* item = addItem(warning, "", caption);
        item->setObjectName(QStringLiteral("mnuPreavvisoAllarme%1").arg(minutes));
        item->setCheckable(true);
        item->setData(minutes);
        warningChoices_->addAction(item);
        connect(item, &QAction::triggered, this, [this, minutes = minutes] {
            agenda_.settings().alarmWarningMinutes = minutes;
            agenda_.saveSettings();
            Q_EMIT alarmWarningChosen(minutes);
        });
    }

    newMessageBoxes_ = addItem(settings, "mnuNewMsgbox", QStringLiteral("&Nuovi Msgbox"));
    newMessageBoxes_->setCheckable(true);
    connect(newMessageBoxes_, &QAction::triggered, this, [this] { toggleNewMessageBoxes(); });
    connect(addItem(settings, "mnuSfondo", QStringLiteral("&Sfondo")), &QAction::triggered, this,
            [this] { chooseBackground(); });
    connect(addItem(settings, "mnuPreavviso", QStringLiteral("&Giorni preavviso")),
            &QAction::triggered, this, [this] { openNoticeDaysDialog(agenda_, &window_); });
    connect(addItem(settings, "mnuServer", QStringLiteral("Calendario sul &server...")),
            &QAction::triggered, this, &MainMenus::serverSetupRequested);
    connect(addItem(settings, "mnuSincronizza", QStringLiteral("Sincronizza &ora")),
            &QAction::triggered, this, &MainMenus::syncRequested);
}

void MainMenus::showSettings() {
    const Settings& settings = agenda_.settings();
    sortAscending_->setChecked(settings.sortAscending);
    sortDescending_->setChecked(!settings.sortAscending);
    newMessageBoxes_->setChecked(settings.newMessageBox);
    for (QAction* item : warningChoices_->actions())
        item->setChecked(item->data().toInt() == settings.alarmWarningMinutes);
}

void MainMenus::chooseSoundFile(QString Settings::*sound) {
    const QString name = services_.files->openFileName(QStringLiteral("*.wav (*.wav)"));
    if (name.isEmpty()) return;
    agenda_.storePathSetting(sound, QDir::toNativeSeparators(name));
}

void MainMenus::toggleNewMessageBoxes() {
    Settings& settings = agenda_.settings();
    settings.newMessageBox = !settings.newMessageBox;
    newMessageBoxes_->setChecked(settings.newMessageBox);
    agenda_.saveSettings();
}

void MainMenus::chooseBackground() {
    BackgroundChooser chooser(agenda_, &window_);
    connect(&chooser, &BackgroundChooser::backgroundChosen, this, &MainMenus::backgroundChosen);
    chooser.exec();
}

// "? -> Esporta calendario...": the saved lists as an iCalendar file.
void MainMenus::exportCalendar() {
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // Not every home has a documents folder.
    if (documents.isEmpty() || !QFileInfo(documents).isDir()) documents = QDir::homePath();
    const QString path =
        services_.files->saveFileName(QStringLiteral("Esporta calendario"),
                                      QDir(documents).filePath(QStringLiteral("Ricordel.ics")),
                                      QStringLiteral("Calendario iCalendar (*.ics)"));
    if (path.isEmpty()) return;
    const CalendarFileOutcome outcome =
        exportCalendarFile(agenda_.dataFolder(), path, agenda_.clock());
    const QString title = QStringLiteral("ESPORTA CALENDARIO");
    if (outcome.error) {
        services_.dialogs->notice(
            QStringLiteral("Calendario non esportato: %1.").arg(*outcome.error), MsgIcon::Critical,
            title);
        return;
    }
    QString text = QStringLiteral("Calendario esportato in \"%1\".\n%2")
                       .arg(QDir::toNativeSeparators(path),
                            calendarCountsText(outcome.written, outcome.skipped));
    if (agenda_.listsModified())
        text += QStringLiteral(
            "\n\nLe modifiche non ancora salvate non sono comprese: il "
            "calendario riporta le liste come sono state salvate.");
    services_.dialogs->notice(text, MsgIcon::Information, title);
}

// "? -> Importa calendario...": an iCalendar file into the lists.
void MainMenus::importCalendar() {
    const QString path = services_.files->openFileName(
        QStringLiteral("Calendario iCalendar (*.ics *.ICS *.ical *.ifb);;Tutti i file (*)"));
    if (!path.isEmpty()) Q_EMIT importRequested(path);
}

// The main window: its controls, its menus and the start-up sequence.
#include "ui/form1.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyleOptionButton>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCharFormat>

#include <functional>

#include "core/agenda.h"
#include "core/clock.h"
#include "core/database.h"
#include "core/dialogs.h"
#include "core/listmodel.h"
#include "core/version.h"
#include "notify/centrewindow.h"
#include "notify/notifier.h"
#include "notify/pictures.h"
#include "operations/calendarexport.h"
#include "operations/calendarimport.h"
#include "operations/operations.h"
#include "ui/filedialogs.h"
#include "ui/flexgrid.h"
#include "ui/formcarica.h"
#include "ui/formgg.h"

namespace {

QFont DesignFont(const char* family, qreal points, bool bold) {
    QFont font(QString::fromLatin1(family));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QString WithoutAccessKey(QString caption) {
    return caption.remove(QLatin1Char('&'));
}

// The window's client area: white, with the background picture drawn at its
// own size from the top-left corner behind every control.
class Surface final : public QWidget {
  public:
    Surface(const QPixmap& picture, std::function<void()> onMouseMove, QWidget* parent)
        : QWidget(parent), picture_(picture), onMouseMove_(std::move(onMouseMove)) {
        setMouseTracking(true);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!picture_.isNull()) painter.drawPixmap(0, 0, picture_);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        // A move over a control that ignored it arrives here too; only the
        // bare surface counts.
        if (!childAt(event->position().toPoint())) onMouseMove_();
        event->accept();
    }

  private:
    const QPixmap& picture_;
    std::function<void()> onMouseMove_;
};

// The focus frame: a filled rectangle drawn behind the buttons.
class ShapeFrame final : public QWidget {
  public:
    explicit ShapeFrame(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    // The fill is the palette's window colour.
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Window));
        painter.setPen(Qt::black);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

// Each tab wears its list's colour, like the grid it holds.
class ColouredTabBar final : public QTabBar {
  public:
    using QTabBar::QTabBar;

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        for (int i = 0; i < count(); ++i) {
            QStyleOptionTab option;
            initStyleOption(&option, i);
            const QColor colour = QColor::fromRgb(TraitsForTab(i).tabColour);
            option.palette.setColor(QPalette::Window, colour);
            option.palette.setColor(QPalette::Button, colour);
            option.palette.setColor(QPalette::Base, colour);
            painter.drawControl(QStyle::CE_TabBarTab, option);
        }
    }
};

// A command button whose caption wraps onto a second line when it is too
// wide, as the captions of the insert and delete buttons need.
class CommandButton final : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButtonBevel, option);
        const int flags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
        style()->drawItemText(&painter, rect().adjusted(4, 2, -4, -2), flags, option.palette,
                              isEnabled(), caption, QPalette::ButtonText);
    }
};

class TabControl final : public QTabWidget {
  public:
    explicit TabControl(QWidget* parent) : QTabWidget(parent) {
        setTabBar(new ColouredTabBar(this));
    }
};

struct ButtonDesign {
    int index;
    const char* caption;
    QRect geometry;
};

// In tab order.
constexpr ButtonDesign kButtons[] = {
    {0, "&Oggi", QRect(592, 236, 113, 33)},
    {2, "&Inserisci Appuntamento", QRect(592, 300, 113, 37)},
    {3, "&Elimina Appuntamento", QRect(592, 344, 113, 37)},
    {1, "&Stampa Appuntamenti", QRect(592, 412, 113, 37)},
    {5, "&SALVA", QRect(552, 488, 89, 33)},
    {4, "&ESCI", QRect(660, 488, 93, 33)},
};

constexpr QRect kTabGeometry(8, 8, 493, 513);
constexpr QSize kGridSize(473, 473);
constexpr QRect kCalendarGeometry(504, 32, 289, 193);
constexpr QRect kShapeGeometry(588, 232, 121, 41);

}  // namespace

Form1::Form1(const Form1Services& services, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      agenda_(std::make_unique<Agenda>(*services.clock, *services.dialogs)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ricordel by Tobrani - "));
    setWindowIcon(ProgramIcon());
    standardButtonColour_ = QApplication::palette().color(QPalette::Button);
    BuildControls();
    BuildMenus();
    ConnectEvents();
    ConnectNotifications();
}

void Form1::ConnectNotifications() {
    // Made with the window, so that the minutes that pass while the start-up
    // digest waits for the user are checked for alarms as soon as it ends.
    notifier_ = std::make_unique<Notifier>(
        *agenda_, this,
        NotifierServices{services_.clock, services_.dialogs, services_.makePlayer, services_.tray,
                         services_.presenter, services_.notifications});
    notifier_->setTrayMenu(popupTray_);
    connect(notifier_.get(), &Notifier::repaintColoursRequested, this,
            [this] { PaintUrgencyColours(*agenda_); });
    connect(notifier_.get(), &Notifier::saveAllRequested, this, [this] { SaveCommand(*agenda_); });
    // Leaves every event loop at once, the nested ones of waiting boxes
    // included; a quit() would wait for them, and do nothing before exec().
    connect(notifier_.get(), &Notifier::quitRequested, qApp, [] { QCoreApplication::exit(0); });
}

bool Form1::InTray() const { return notifier_ && notifier_->InTray(); }

Form1::~Form1() {
    notifier_.reset();
    // The views go before the models and selections they show.
    delete surface_;
    surface_ = nullptr;
}

QPushButton* Form1::Command1(int index) const {
    return index >= 0 && index < 6 ? buttons_[static_cast<size_t>(index)] : nullptr;
}

FlexGrid* Form1::Grid(ListKind kind) const {
    return grids_[static_cast<size_t>(kind)];
}

QColor Form1::TabColour(int tab) const {
    return QColor::fromRgb(TraitsForTab(tab).tabColour);
}

void Form1::BuildControls() {
    surface_ = new Surface(
        background_, [this] { Form_MouseMove(); }, this);
    surface_->setObjectName(QStringLiteral("Form1Surface"));
    setCentralWidget(surface_);

    tabs_ = new TabControl(surface_);
    tabs_->setObjectName(QStringLiteral("SSTab1"));
    tabs_->setGeometry(kTabGeometry);
    tabs_->tabBar()->setFont(DesignFont("Comic Sans MS", 9.75, true));
    tabs_->setAccessibleName(QStringLiteral("Elenchi"));
    for (ListKind kind : kAllListKinds) {
        const ListTraits& traits = Traits(kind);
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("SSTab1_%1").arg(traits.tab));
        page->setAutoFillBackground(true);
        QPalette pal = page->palette();
        pal.setColor(QPalette::Window, QColor::fromRgb(traits.tabColour));
        page->setPalette(pal);
        auto* grid = new FlexGrid(agenda_->list(kind), agenda_->selection(kind), page);
        grid->resize(kGridSize);
        grids_[static_cast<size_t>(kind)] = grid;
        // The grid's place is given within the whole tab control, header included.
        page->installEventFilter(this);
        tabs_->addTab(page, QString::fromUtf8(traits.tabCaption));
    }

    calendar_ = new QCalendarWidget(surface_);
    calendar_->setObjectName(QStringLiteral("Calendar1"));
    calendar_->setGeometry(kCalendarGeometry);
    calendar_->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    calendar_->setFirstDayOfWeek(Qt::Monday);
    calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar_->setGridVisible(true);
    calendar_->setFont(DesignFont("Arial", 8.25, false));
    QTextCharFormat dayNames;
    dayNames.setFont(DesignFont("Arial", 8.25, true));
    calendar_->setHeaderTextFormat(dayNames);
    if (auto* title = calendar_->findChild<QWidget*>(QStringLiteral("qt_calendar_navigationbar"))) {
        const QFont titleFont = DesignFont("Arial", 12, true);
        title->setFont(titleFont);
        for (QWidget* child : title->findChildren<QWidget*>()) child->setFont(titleFont);
    }
    calendar_->setAccessibleName(QStringLiteral("Calendario"));

    // The frame first, so that it lies behind the buttons.
    auto* shape = new ShapeFrame(surface_);
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setGeometry(kShapeGeometry);
    shape_ = shape;
    SetShape1Fill(TabColour(0));

    const QFont buttonFont = DesignFont("MS Sans Serif", 8.25, true);
    // Tab order: the lists, the calendar, then the buttons from top to bottom.
    setTabOrder(tabs_, calendar_);
    QWidget* previous = calendar_;
    for (const ButtonDesign& design : kButtons) {
        auto* button = new CommandButton(surface_);
        button->setObjectName(QStringLiteral("Command1_%1").arg(design.index));
        button->setGeometry(design.geometry);
        button->setFont(buttonFont);
        button->setAutoDefault(false);
        button->setMouseTracking(true);
        button->installEventFilter(this);
        buttons_[static_cast<size_t>(design.index)] = button;
        SetButtonCaption(design.index, QString::fromLatin1(design.caption));
        SetButtonColour(design.index, standardButtonColour_);
        setTabOrder(previous, button);
        previous = button;
    }
    buttons_[3]->setEnabled(false);
}

QAction* Form1::AddItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void Form1::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("Form1MenuBar"));

    QMenu* impostazioni = bar->addMenu(QStringLiteral("&Impostazioni"));
    impostazioni->setObjectName(QStringLiteral("mnuImpostazioni"));
    QMenu* ordine = impostazioni->addMenu(QStringLiteral("&Ordine"));
    ordine->setObjectName(QStringLiteral("mnuOrdine"));
    mnuOrdCre_ = AddItem(ordine, "mnuOrdCre", QStringLiteral("&Crescente"));
    mnuOrdDec_ = AddItem(ordine, "mnuOrdDec", QStringLiteral("&Decrescente"));
    mnuOrdCre_->setCheckable(true);
    mnuOrdDec_->setCheckable(true);
    connect(mnuOrdCre_, &QAction::triggered, this, [this] {
        mnuOrdCre_->setChecked(true);
        mnuOrdDec_->setChecked(false);
        SetSortOrder(*agenda_, true);
    });
    connect(mnuOrdDec_, &QAction::triggered, this, [this] {
        mnuOrdDec_->setChecked(true);
        mnuOrdCre_->setChecked(false);
        SetSortOrder(*agenda_, false);
    });

    QMenu* suoni = impostazioni->addMenu(QStringLiteral("&Suoni"));
    suoni->setObjectName(QStringLiteral("mnuSuoni"));
    const struct {
        const char* name;
        QString Settings::*sound;
    } soundItems[] = {
        {"mnuAppuntamenti", Traits(ListKind::Appuntamenti).sound},
        {"mnuScadenze", Traits(ListKind::Scadenze).sound},
        {"mnuRicorrenze", Traits(ListKind::Ricorrenze).sound},
        {"mnuAllarme", &Settings::Suono4},
    };
    const QString soundCaptions[] = {QStringLiteral("Appuntamenti"), QStringLiteral("Scadenze"),
                                     QStringLiteral("Ricorrenze"), QStringLiteral("Allarme")};
    for (size_t i = 0; i < std::size(soundItems); ++i) {
        QAction* item = AddItem(suoni, soundItems[i].name, soundCaptions[i]);
        const auto sound = soundItems[i].sound;
        connect(item, &QAction::triggered, this, [this, sound] { ChooseSoundFile(sound); });
    }

    // How long before an appointment its alarm warns: one choice of six.
    QMenu* warning = impostazioni->addMenu(QStringLiteral("Preavviso &allarme"));
    warning->setObjectName(QStringLiteral("mnuPreavvisoAllarme"));
    warningChoices_ = new QActionGroup(this);
    warningChoices_->setExclusive(true);
    const std::pair<int, QString> warnings[] = {
        {0, QStringLiteral("Nessuno")},     {5, QStringLiteral("5 minuti")},
        {10, QStringLiteral("10 minuti")},  {15, QStringLiteral("15 minuti")},
        {30, QStringLiteral("30 minuti")},  {60, QStringLiteral("1 ora")}};
    for (const auto& [minutes, caption] : warnings) {
        QAction* item = AddItem(warning, "", caption);
        item->setObjectName(QStringLiteral("mnuPreavvisoAllarme%1").arg(minutes));
        item->setCheckable(true);
        item->setData(minutes);
        warningChoices_->addAction(item);
        connect(item, &QAction::triggered, this, [this, minutes = minutes] {
            agenda_->settings().AlarmWarningMinutes = minutes;
            agenda_->LoadOrSaveSettings(QStringLiteral("salva"));
            notifier_->SetAlarmWarningMinutes(minutes);
        });
    }

    mnuNewMsgbox_ = AddItem(impostazioni, "mnuNewMsgbox", QStringLiteral("&Nuovi Msgbox"));
    mnuNewMsgbox_->setCheckable(true);
    connect(mnuNewMsgbox_, &QAction::triggered, this, [this] { mnuNewMsgbox_Click(); });
    connect(AddItem(impostazioni, "mnuSfondo", QStringLiteral("&Sfondo")), &QAction::triggered,
            this, [this] { mnuSfondo_Click(); });
    connect(AddItem(impostazioni, "mnuPreavviso", QStringLiteral("&Giorni preavviso")),
            &QAction::triggered, this, [this] { OpenNoticeDaysDialog(*agenda_, this); });

    QMenu* visualizza = bar->addMenu(QStringLiteral("&Visualizza"));
    visualizza->setObjectName(QStringLiteral("mnuVisualizza"));
    connect(AddItem(visualizza, "mnuRemember", QStringLiteral("&Ricordel")), &QAction::triggered,
            this, &Form1::ShowReminders);
    connect(AddItem(visualizza, "mnuArchivio", QStringLiteral("&Archivio")), &QAction::triggered,
            this, [this] { OpenArchive(*agenda_, *services_.archiveViewer); });

    QMenu* debug = bar->addMenu(QStringLiteral("?"));
    debug->setObjectName(QStringLiteral("mnuDebug"));
    connect(AddItem(debug, "mnuProva2", QStringLiteral("&Prova allarme")), &QAction::triggered,
            this, &Form1::TestAlarm);
    connect(AddItem(debug, "mnuCopiaDB", QStringLiteral("&Copia dati in DB")), &QAction::triggered,
            this, [this] { CopyListsToDatabase(*agenda_); });
    connect(AddItem(debug, "mnuEsporta", QStringLiteral("&Esporta calendario...")),
            &QAction::triggered, this, [this] { mnuEsporta_Click(); });
    connect(AddItem(debug, "mnuImporta", QStringLiteral("&Importa calendario...")),
            &QAction::triggered, this, [this] { mnuImporta_Click(); });

    // Popup menus only: never on the menu bar.
    popupSposta_ = new QMenu(QStringLiteral("&Sposta"), this);
    popupSposta_->setObjectName(QStringLiteral("mnuSposta"));
    const struct {
        const char* name;
        const char* caption;
        std::function<void(Agenda&)> command;
    } spostaItems[] = {
        {"mnuRim30", "&Rimanda di 1/2 ora", [](Agenda& a) { PostponeByMinutes(a, 30); }},
        {"mnuRim60", "&Rimanda di 1 ora", [](Agenda& a) { PostponeByMinutes(a, 60); }},
        {"mnuRimGio", "&Rimanda di 1 giorno", [](Agenda& a) { PostponeByDays(a, 1); }},
        {"mnuRimSet", "&Rimanda di 1 settimana", [](Agenda& a) { PostponeByDays(a, 7); }},
        {"mnuRimMes", "&Rimanda di 1 mese", [](Agenda& a) { PostponeByDays(a, 30); }},
        {"mnuArchivia", "&Archivia", [](Agenda& a) { ArchiveEntry(a); }},
    };
    for (const auto& item : spostaItems) {
        QAction* action = AddItem(popupSposta_, item.name, QString::fromLatin1(item.caption));
        connect(action, &QAction::triggered, this,
                [this, command = item.command] { command(*agenda_); });
    }

    popupTray_ = new QMenu(QStringLiteral("MenuTray"), this);
    popupTray_->setObjectName(QStringLiteral("mnuTray"));
    // The notifications connect the items (setTrayMenu), so that a command
    // chosen here keeps the icon quiet until it returns.
    AddItem(popupTray_, "mnuVisMess", QStringLiteral("&Visualizza i RICORDEL"));
    AddItem(popupTray_, "mnuApriMess", QStringLiteral("&Apri PROGRAMMA ricordel"));
    QAction* sep = popupTray_->addSeparator();
    sep->setObjectName(QStringLiteral("mnuSep"));
    sep->setText(QStringLiteral("-"));
    AddItem(popupTray_, "mnuProva", QStringLiteral("&Prova allarme"));
    QAction* sep2 = popupTray_->addSeparator();
    sep2->setObjectName(QStringLiteral("mnuSep2"));
    sep2->setText(QStringLiteral("-"));
    AddItem(popupTray_, "mnuChiudi", QStringLiteral("&Chiudi"));
}

void Form1::SetButtonCaption(int index, const QString& caption) {
    QPushButton* button = Command1(index);
    button->setText(caption);
    button->setAccessibleName(WithoutAccessKey(caption));
}

void Form1::SetButtonColour(int index, const QColor& colour) {
    QPushButton* button = Command1(index);
    QPalette pal = button->palette();
    pal.setColor(QPalette::Button, colour);
    button->setPalette(pal);
}

void Form1::SetShape1Fill(const QColor& colour) {
    QPalette pal = shape_->palette();
    pal.setColor(QPalette::Window, colour);
    shape_->setPalette(pal);
    shape_->update();
}

QColor Form1::Shape1Fill() const {
    return shape_->palette().color(QPalette::Window);
}

void Form1::LayoutGrids() {
    for (FlexGrid* grid : grids_) grid->LayoutColumns();
}

void Form1::LoadBackground() {
    SetBackground(LoadBackgroundPicture());
}

void Form1::SetBackground(const QPixmap& picture) {
    background_ = picture;
    surface_->update();
}

void Form1::ShowSettingsInMenu() {
    const Settings& settings = agenda_->settings();
    mnuOrdCre_->setChecked(settings.SortAscending);
    mnuOrdDec_->setChecked(!settings.SortAscending);
    mnuNewMsgbox_->setChecked(settings.NewMsg);
    for (QAction* item : warningChoices_->actions())
        item->setChecked(item->data().toInt() == settings.AlarmWarningMinutes);
}

void Form1::FitOuterSize() {
    // Before the window system adds its frame the outer size is unknown; the
    // client area takes the whole size until then and shrinks once the frame
    // is there, so that frame and all make 800 by 600.
    const QSize frame = frameGeometry().size() - geometry().size();
    setFixedSize(kOuterSize - frame);
    if (!frame.isEmpty() && !outerSizeFitted_) {
        outerSizeFitted_ = true;
        CentreWindow(*this);
    }
}

void Form1::Form_Load() {
    if (loaded_) return;
    loaded_ = true;

    FitOuterSize();
    setWindowTitle(QStringLiteral("Ricordel by Tobrani - Versione " RICORDEL_VERSION_TEXT));
    CentreWindow(*this);
    agenda_->WindowsFolder = qEnvironmentVariable("SystemRoot");
    agenda_->StartFolder = QDir::currentPath();
    LoadBackground();
    standardButtonColour_ = QApplication::palette().color(QPalette::Button);
    calendar_->setSelectedDate(services_.clock->today());
    agenda_->selectTab(0);
    agenda_->LoadOrSaveSettings(QStringLiteral("carica"));
    ShowSettingsInMenu();
    LayoutGrids();
    agenda_->LoadLists();
    PaintUrgencyColours(*agenda_);
    agenda_->SetListsModified(false);
    StartNotifications();
}

int Form1::Run() {
    Form_Load();
    // Asked to end while the start-up digest waited: the event loop never
    // starts.
    if (notifier_->isEnding()) return 0;
    show();
    return QApplication::exec();
}

void Form1::StartNotifications() {
    // The digest of what falls due, then the alarm check (Timer1, every
    // minute) and the caption clock (Timer2, every second), and last the
    // program's icon in the notification area.
    notifier_->FinishStartUp();
}

// "? -> Esporta calendario...": the saved lists as an iCalendar file.
void Form1::mnuEsporta_Click() {
    const QString folder = QDir::currentPath();
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // Not every home has a documents folder.
    if (documents.isEmpty() || !QFileInfo(documents).isDir()) documents = QDir::homePath();
    const QString path =
        services_.files->SaveFileName(QStringLiteral("Esporta calendario"),
                                      QDir(documents).filePath(QStringLiteral("Ricordel.ics")),
                                      QStringLiteral("Calendario iCalendar (*.ics)"));
    // The list files are addressed relative to the current folder.
    QDir::setCurrent(folder);
    if (path.isEmpty()) return;
    const CalendarFileOutcome outcome = ExportCalendarFile(path, agenda_->clock());
    const QString title = QStringLiteral("ESPORTA CALENDARIO");
    if (outcome.error) {
        services_.dialogs->Notice(
            QStringLiteral("Calendario non esportato: %1.").arg(*outcome.error), MsgIcon::Critical,
            title);
        return;
    }
    QString text = QStringLiteral("Calendario esportato in \"%1\".\n%2")
                       .arg(QDir::toNativeSeparators(path),
                            CalendarCountsText(outcome.written, outcome.skipped));
    if (agenda_->ListsModified())
        text += QStringLiteral(
            "\n\nLe modifiche non ancora salvate non sono comprese: il "
            "calendario riporta le liste come sono state salvate.");
    services_.dialogs->Notice(text, MsgIcon::Information, title);
}

// "? -> Importa calendario...": an iCalendar file into the lists.
void Form1::mnuImporta_Click() {
    const QString folder = QDir::currentPath();
    const QString path = services_.files->OpenFileName(
        QStringLiteral("Calendario iCalendar (*.ics *.ICS *.ical *.ifb);;Tutti i file (*)"));
    // The list files are addressed relative to the current folder.
    QDir::setCurrent(folder);
    if (!path.isEmpty()) ImportCalendarFile(path);
}

void Form1::ImportCalendarFile(const QString& path) {
    ImportCalendar(*agenda_, path);
}

void Form1::ShowReminders() {
    notifier_->ShowReminders();
}

void Form1::TestAlarm() {
    notifier_->TestAlarm();
}

void Form1::HideToTray() {
    notifier_->HideToTray();
}

void Form1::OpenMainWindow() {
    notifier_->OpenMainWindow();
}

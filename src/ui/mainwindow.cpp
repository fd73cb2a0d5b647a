// The main window: its controls and the start-up sequence.
#include "ui/mainwindow.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCharFormat>

#include "core/agenda.h"
#include "core/clock.h"
#include "core/listmodel.h"
#include "core/listselection.h"
#include "core/version.h"
#include "notify/centrewindow.h"
#include "notify/pictures.h"
#include "operations/operations.h"
#include "ui/backgroundchooser.h"
#include "ui/flexgrid.h"
#include "ui/listview.h"
#include "ui/mainmenus.h"
#include "ui/mainwindowwidgets.h"

namespace {

QFont makeFont(const char* family, qreal points, bool bold) {
    QFont font(QString::fromLatin1(family));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QString withoutAccessKey(QString caption) {
    return caption.remove(QLatin1Char('&'));
}

struct ButtonPlace {
    Command command;
    const char* caption;
    QRect geometry;
};

// In tab order.
constexpr ButtonPlace kButtons[] = {
    {Command::Today, "&Oggi", QRect(592, 236, 113, 33)},
    {Command::Insert, "&Inserisci Appuntamento", QRect(592, 300, 113, 37)},
    {Command::Delete, "&Elimina Appuntamento", QRect(592, 344, 113, 37)},
    {Command::Print, "&Stampa Appuntamenti", QRect(592, 412, 113, 37)},
    {Command::Save, "&SALVA", QRect(552, 488, 89, 33)},
    {Command::Exit, "&ESCI", QRect(660, 488, 93, 33)},
};

constexpr QRect kTabGeometry(8, 8, 493, 513);
constexpr QSize kGridSize(473, 473);
constexpr QRect kCalendarGeometry(504, 32, 289, 193);
constexpr QRect kShapeGeometry(588, 232, 121, 41);

}  // namespace

MainWindow::MainWindow(Agenda& agenda, const MainWindowServices& services, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      agenda_(agenda),
      shown_(std::make_unique<ListSelection>(agenda)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ricordel by Tobrani - "));
    setWindowIcon(programIcon());
    standardButtonColour_ = QApplication::palette().color(QPalette::Button);
    buildControls();
    menus_ = new MainMenus(*this, agenda_, *shown_, services_);
    connect(menus_, &MainMenus::remindersRequested, this, &MainWindow::remindersRequested);
    connect(menus_, &MainMenus::alarmTestRequested, this, &MainWindow::alarmTestRequested);
    connect(menus_, &MainMenus::alarmWarningChosen, this, &MainWindow::alarmWarningChosen);
    connect(menus_, &MainMenus::importRequested, this, &MainWindow::importRequested);
    connect(menus_, &MainMenus::serverSetupRequested, this, &MainWindow::serverSetupRequested);
    connect(menus_, &MainMenus::syncRequested, this, &MainWindow::syncRequested);
    connect(menus_, &MainMenus::backgroundChosen, this, &MainWindow::setBackground);
    connectEvents();
}

MainWindow::~MainWindow() {
    // The views go before the selections they share.
    delete surface_;
    surface_ = nullptr;
}

QPushButton* MainWindow::commandButton(Command command) const {
    return buttons_[static_cast<size_t>(command)];
}

FlexGrid* MainWindow::grid(ListKind kind) const {
    return grids_[static_cast<size_t>(kind)];
}

QMenu* MainWindow::postponeMenu() const {
    return menus_->postponeMenu();
}

QColor MainWindow::tabColour(int tab) const {
    return QColor::fromRgb(viewTraitsForTab(tab).tabColour);
}

void MainWindow::buildControls() {
    surface_ = new Surface(
        background_, [this] { restoreButtonColours(); }, this);
    surface_->setObjectName(QStringLiteral("Form1Surface"));
    setCentralWidget(surface_);

    tabs_ = new TabControl(surface_);
    tabs_->setObjectName(QStringLiteral("SSTab1"));
    tabs_->setGeometry(kTabGeometry);
    tabs_->tabBar()->setFont(makeFont("Comic Sans MS", 9.75, true));
    tabs_->setAccessibleName(QStringLiteral("Elenchi"));
    for (ListKind kind : kAllListKinds) {
        const ListTraits& traits = listTraits(kind);
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("SSTab1_%1").arg(tabOf(kind)));
        page->setAutoFillBackground(true);
        QPalette pal = page->palette();
        pal.setColor(QPalette::Window, QColor::fromRgb(viewTraits(kind).tabColour));
        page->setPalette(pal);
        auto* grid = new FlexGrid(agenda_.list(kind), shown_->selection(kind), page);
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
    calendar_->setFont(makeFont("Arial", 8.25, false));
    QTextCharFormat dayNames;
    dayNames.setFont(makeFont("Arial", 8.25, true));
    calendar_->setHeaderTextFormat(dayNames);
    if (auto* title = calendar_->findChild<QWidget*>(QStringLiteral("qt_calendar_navigationbar"))) {
        const QFont titleFont = makeFont("Arial", 12, true);
        title->setFont(titleFont);
        for (QWidget* child : title->findChildren<QWidget*>()) child->setFont(titleFont);
    }
    calendar_->setAccessibleName(QStringLiteral("Calendario"));

    // The frame first, so that it lies behind the buttons.
    focusFrame_ = new ShapeFrame(surface_);
    focusFrame_->setObjectName(QStringLiteral("Shape1"));
    focusFrame_->setGeometry(kShapeGeometry);
    setFocusFrameFill(tabColour(0));

    const QFont buttonFont = makeFont("MS Sans Serif", 8.25, true);
    // Tab order: the lists, the calendar, then the buttons from top to bottom.
    setTabOrder(tabs_, calendar_);
    QWidget* previous = calendar_;
    for (const ButtonPlace& place : kButtons) {
        auto* button = new CommandButton(surface_);
        button->setObjectName(QStringLiteral("Command1_%1").arg(static_cast<int>(place.command)));
        button->setGeometry(place.geometry);
        button->setFont(buttonFont);
        button->setAutoDefault(false);
        button->setMouseTracking(true);
        button->installEventFilter(this);
        buttons_[static_cast<size_t>(place.command)] = button;
        setButtonCaption(place.command, QString::fromLatin1(place.caption));
        setButtonColour(button, standardButtonColour_);
        setTabOrder(previous, button);
        previous = button;
    }
    commandButton(Command::Delete)->setEnabled(false);
}

void MainWindow::setButtonCaption(Command command, const QString& caption) {
    QPushButton* button = commandButton(command);
    button->setText(caption);
    button->setAccessibleName(withoutAccessKey(caption));
}

void MainWindow::setButtonColour(QPushButton* button, const QColor& colour) {
    QPalette pal = button->palette();
    pal.setColor(QPalette::Button, colour);
    button->setPalette(pal);
}

void MainWindow::setFocusFrameFill(const QColor& colour) {
    QPalette pal = focusFrame_->palette();
    pal.setColor(QPalette::Window, colour);
    focusFrame_->setPalette(pal);
    focusFrame_->update();
}

QColor MainWindow::focusFrameFill() const {
    return focusFrame_->palette().color(QPalette::Window);
}

void MainWindow::layoutGrids() {
    for (FlexGrid* grid : grids_) grid->layoutColumns();
}

void MainWindow::loadBackground() {
    setBackground(loadBackgroundPicture(agenda_.dataFolder()));
}

void MainWindow::setBackground(const QPixmap& picture) {
    background_ = picture;
    surface_->update();
}

void MainWindow::fitOuterSize() {
    // Before the window system adds its frame the outer size is unknown; the
    // client area takes the whole size until then and shrinks once the frame
    // is there, so that frame and all make 800 by 600.
    const QSize frame = frameGeometry().size() - geometry().size();
    setFixedSize(kOuterSize - frame);
    if (!frame.isEmpty() && !outerSizeFitted_) {
        outerSizeFitted_ = true;
        centreWindow(*this);
    }
}

void MainWindow::prepare() {
    if (prepared_) return;
    prepared_ = true;
    fitOuterSize();
    setWindowTitle(QStringLiteral("Ricordel by Tobrani - Versione " RICORDEL_VERSION_TEXT));
    centreWindow(*this);
    loadBackground();
    standardButtonColour_ = QApplication::palette().color(QPalette::Button);
    calendar_->setSelectedDate(services_.clock->today());
    shown_->selectTab(0);
}

void MainWindow::showSettings() {
    menus_->showSettings();
    layoutGrids();
}

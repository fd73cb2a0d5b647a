#include "notify/alarmwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "core/settings.h"
#include "notify/centrewindow.h"
#include "notify/logic/alarmnotice.h"
#include "notify/pictures.h"
#include "notify/twips.h"

const QList<int>& AlarmWindow::snoozeChoices() {
    static const QList<int> choices{5, 10, 15, 30, 60};
    return choices;
}

namespace {

QString snoozeCaption(int minutes) {
    return minutes == 60 ? QStringLiteral("1 ora") : QStringLiteral("%1 minuti").arg(minutes);
}

}  // namespace

AlarmWindow::AlarmWindow(std::unique_ptr<SoundPlayer> player, const Settings& settings,
                         QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      player_(std::move(player)),
      settings_(settings),
      txtMsg_(new QPlainTextEdit(this)),
      snoozeButton_(new QPushButton(QStringLiteral("Ripeti tra..."), this)),
      snoozeMenu_(new QMenu(this)),
      soundTimer_(new QTimer(this)) {
    setObjectName(QStringLiteral("FormSiren"));
    setWindowTitle(QStringLiteral("Ricordel by Tobrani"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twipsToPixels(4710), twipsToPixels(2430));

    txtMsg_->setObjectName(QStringLiteral("TxtMsg"));
    txtMsg_->setGeometry(twipsToPixels(180), twipsToPixels(240), twipsToPixels(4275),
                         twipsToPixels(1875));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(18);
    font.setBold(true);
    txtMsg_->setFont(font);
    txtMsg_->setReadOnly(true);
    txtMsg_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtMsg_->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background-color: rgb(128, 255, 255);"
                       " color: black; }"));
    txtMsg_->setToolTip(QStringLiteral("Fare clic sul testo per chiudere l'allarme"));
    txtMsg_->setAccessibleName(QStringLiteral("Allarme"));
    txtMsg_->viewport()->installEventFilter(this);
    txtMsg_->installEventFilter(this);
    txtMsg_->viewport()->setCursor(Qt::PointingHandCursor);

    // The snooze menu: on the small button in the strip below the text, and
    // as the text's own context menu (right button or the menu key).
    snoozeMenu_->setObjectName(QStringLiteral("mnuRipeti"));
    for (int minutes : snoozeChoices()) {
        QAction* item = snoozeMenu_->addAction(snoozeCaption(minutes));
        item->setObjectName(QStringLiteral("mnuRipeti%1").arg(minutes));
        connect(item, &QAction::triggered, this, [this, minutes] { snooze(minutes); });
    }
    snoozeButton_->setObjectName(QStringLiteral("BtnRipeti"));
    snoozeButton_->setAccessibleName(QStringLiteral("Ripeti tra..."));
    snoozeButton_->setFocusPolicy(Qt::TabFocus);
    QFont small = snoozeButton_->font();
    small.setPointSize(8);
    snoozeButton_->setFont(small);
    snoozeButton_->setMenu(snoozeMenu_);
    const int stripTop = twipsToPixels(240 + 1875);
    const int buttonHeight = std::max(12, height() - stripTop - 2);
    const int buttonWidth = snoozeButton_->sizeHint().width() + 6;
    snoozeButton_->setGeometry(twipsToPixels(180 + 4275) - buttonWidth, stripTop + 1, buttonWidth,
                               buttonHeight);
    txtMsg_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(txtMsg_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { snoozeMenu_->popup(txtMsg_->mapToGlobal(pos)); });

    centreWindow(*this);

    soundTimer_->setObjectName(QStringLiteral("Timer1"));
    soundTimer_->setInterval(3000);
    connect(soundTimer_, &QTimer::timeout, this, &AlarmWindow::restartSound);
}

AlarmWindow::~AlarmWindow() {
    if (player_) player_->stop();
}

QString AlarmWindow::text() const {
    return lines_.join(QStringLiteral("\r\n"));
}

void AlarmWindow::setAlarms(const QList<Alarm>& alarms, const QDateTime& shownAt) {
    alarms_.clear();
    lines_.clear();
    ringing_ = false;
    soundTimer_->stop();
    addAlarms(alarms, shownAt);
    if (alarms.isEmpty()) showLines({}, true);
}

void AlarmWindow::addAlarms(const QList<Alarm>& alarms, const QDateTime& shownAt) {
    if (alarms.isEmpty() || closed_) return;
    const bool first = lines_.isEmpty();
    QStringList added;
    added.reserve(alarms.size());
    bool due = false;
    for (const Alarm& alarm : alarms) {
        added << alarmLine(alarm, shownAt);
        due = due || alarm.keepsRinging();
    }
    alarms_ += alarms;
    lines_ += added;
    showLines(added, first);

    if (due && !ringing_) {
        // A due alarm: the sound starts now and again every 3 seconds.
        ringing_ = true;
        if (player_) player_->play(settings_.alarmSound);
        soundTimer_->start();
    } else if (!ringing_) {
        // Warnings alone sound once.
        if (player_) player_->play(settings_.alarmSound);
    }
}

void AlarmWindow::showLines(const QStringList& added, bool replace) {
    // One call for a whole batch: thousands of lines of one minute are laid
    // out once, not once per line.
    if (replace)
        txtMsg_->setPlainText(added.join(QLatin1Char('\n')));
    else
        txtMsg_->appendPlainText(added.join(QLatin1Char('\n')));
    Q_EMIT alarmsShown(alarms_, lines_);
}

void AlarmWindow::showAlarm() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    QApplication::alert(this);
}

void AlarmWindow::attachNotice(AlarmNotice* notice) {
    if (!notice) return;
    connect(this, &AlarmWindow::alarmsShown, notice, &AlarmNotice::show);
    connect(this, &AlarmWindow::acknowledged, notice, &AlarmNotice::withdraw);
    connect(notice, &AlarmNotice::bringToFrontRequested, this, &AlarmWindow::showAlarm);
    connect(notice, &AlarmNotice::acknowledgeRequested, this, &AlarmWindow::acknowledge);
    connect(notice, &AlarmNotice::snoozeRequested, this, &AlarmWindow::snooze);
}

void AlarmWindow::restartSound() {
    if (ringing_ && player_) player_->play(settings_.alarmSound);
}

void AlarmWindow::acknowledge() {
    close();
}

void AlarmWindow::snooze(int minutes) {
    if (closed_) return;
    const QList<Alarm> alarms = alarms_;
    close();
    Q_EMIT snoozeRequested(alarms, minutes);
}

bool AlarmWindow::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == txtMsg_->viewport() || watched == txtMsg_) &&
        event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            acknowledge();
            return true;
        }
    }
    // Keyboard users close it with Enter, Space or Esc on the text.
    if (watched == txtMsg_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space ||
            key == Qt::Key_Escape) {
            acknowledge();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AlarmWindow::closeEvent(QCloseEvent* event) {
    // However it is closed, the window goes with its sound and its text.
    soundTimer_->stop();
    ringing_ = false;
    if (player_) player_->stop();
    event->accept();
    if (closed_) return;
    closed_ = true;
    Q_EMIT acknowledged();
}

#include "notify/formsiren.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include "core/settings.h"
#include "notify/centrewindow.h"
#include "notify/logic/alarmnotice.h"
#include "notify/pictures.h"
#include "notify/twips.h"

FormSiren::FormSiren(std::unique_ptr<SoundPlayer> player, const Settings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      mp1_(std::move(player)),
      settings_(settings),
      txtMsg_(new QPlainTextEdit(this)),
      timer1_(new QTimer(this)) {
    setObjectName(QStringLiteral("FormSiren"));
    setWindowTitle(QStringLiteral("Ricordel by Tobrani"));
    setWindowIcon(ProgramIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(TwipsToPixels(4710), TwipsToPixels(2430));

    txtMsg_->setObjectName(QStringLiteral("TxtMsg"));
    txtMsg_->setGeometry(TwipsToPixels(180), TwipsToPixels(240), TwipsToPixels(4275),
                         TwipsToPixels(1875));
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

    CentreWindow(*this);

    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(3000);
    connect(timer1_, &QTimer::timeout, this, &FormSiren::Timer1_Timer);
    if (mp1_) mp1_->play(settings_.Suono4);
    timer1_->start();
}

FormSiren::~FormSiren() {
    if (mp1_) mp1_->stop();
}

QString FormSiren::Text() const {
    return text_;
}

void FormSiren::SetText(const QString& text) {
    text_ = text;
    txtMsg_->setPlainText(QString(text_).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    Q_EMIT textChanged(text_);
}

void FormSiren::AppendLine(const QString& line) {
    SetText(text_.isEmpty() ? line : text_ + QStringLiteral("\r\n") + line);
}

void FormSiren::ShowAlarm() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    QApplication::alert(this);
}

void FormSiren::AttachNotice(AlarmNotice* notice) {
    if (!notice) return;
    connect(this, &FormSiren::textChanged, notice, &AlarmNotice::TextChanged);
    connect(this, &FormSiren::acknowledged, notice, &AlarmNotice::Withdraw);
    connect(notice, &AlarmNotice::bringToFrontRequested, this, &FormSiren::ShowAlarm);
    connect(notice, &AlarmNotice::acknowledgeRequested, this, &FormSiren::TxtMsg_Click);
}

void FormSiren::Timer1_Timer() {
    if (mp1_) mp1_->play(settings_.Suono4);
}

void FormSiren::TxtMsg_Click() {
    close();
}

bool FormSiren::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == txtMsg_->viewport() || watched == txtMsg_) &&
        event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            TxtMsg_Click();
            return true;
        }
    }
    // Keyboard users close it with Enter, Space or Esc on the text.
    if (watched == txtMsg_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space ||
            key == Qt::Key_Escape) {
            TxtMsg_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FormSiren::closeEvent(QCloseEvent* event) {
    // However it is closed, the window goes with its sound and its text.
    timer1_->stop();
    if (mp1_) mp1_->stop();
    event->accept();
    if (closed_) return;
    closed_ = true;
    Q_EMIT acknowledged();
}

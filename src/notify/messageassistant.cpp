#include "notify/messageassistant.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "notify/pictures.h"

namespace {

constexpr int kBalloonWidth = 300;
constexpr int kMargin = 12;

}  // namespace

MessageAssistant::MessageAssistant(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(new QLabel(this)),
      text_(new QLabel(this)),
      button1_(new QPushButton(assistantOkPicture(), QStringLiteral("OK"), this)),
      button2_(new QPushButton(assistantStopPicture(), QStringLiteral("Stop"), this)),
      entrance_(new QPropertyAnimation(this, "pos", this)) {
    setObjectName(QStringLiteral("MsgAss1"));
    setWindowTitle(QStringLiteral("Ricordel"));
    setAccessibleName(QStringLiteral("Assistente"));

    picture_->setObjectName(QStringLiteral("AssistantPicture"));
    picture_->setAlignment(Qt::AlignBottom | Qt::AlignHCenter);
    setAssistantPicture(QPixmap());

    text_->setObjectName(QStringLiteral("AssistantText"));
    text_->setWordWrap(true);
    text_->setTextFormat(Qt::PlainText);
    text_->setFixedWidth(kBalloonWidth - 2 * kMargin);
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSizeF(9.75);
    font.setBold(true);
    text_->setFont(font);
    QPalette palette = text_->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));  // colour value 255: red
    text_->setPalette(palette);

    button1_->setObjectName(QStringLiteral("Button1"));
    button2_->setObjectName(QStringLiteral("Button2"));
    button1_->setIconSize(QSize(16, 16));
    button2_->setIconSize(QSize(16, 16));
    button1_->setToolTip(QStringLiteral("Avanti"));
    button2_->setToolTip(QStringLiteral("Non mostrare gli altri promemoria di questo elenco"));
    button1_->setDefault(true);
    connect(button1_, &QPushButton::clicked, this, [this] { pressButton(1); });
    connect(button2_, &QPushButton::clicked, this, [this] { pressButton(2); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button1_);
    buttons->addWidget(button2_);

    // The balloon is painted around this column; the picture stands left of it.
    auto* balloon = new QVBoxLayout;
    balloon->setContentsMargins(kMargin + 14, kMargin, kMargin, kMargin);
    balloon->addWidget(text_);
    balloon->addLayout(buttons);
    balloon->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(0);
    layout->addWidget(picture_, 0, Qt::AlignBottom);
    layout->addLayout(balloon, 1);

    entrance_->setDuration(250);
    entrance_->setEasingCurve(QEasingCurve::OutCubic);
}

MessageAssistant::~MessageAssistant() {
    if (loop_) loop_->exit(0);
}

void MessageAssistant::setAssistantPicture(const QPixmap& picture) {
    QPixmap shown = picture.isNull() ? defaultAssistantPicture() : picture;
    if (shown.height() > 160 || shown.width() > 160)
        shown = shown.scaled(160, 160, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picture_->setPixmap(shown);
}

void MessageAssistant::setAssistantText(const QString& text) {
    text_->setText(text);
    setAccessibleDescription(text);
}

QString MessageAssistant::assistantText() const {
    return text_->text();
}

QPushButton* MessageAssistant::button(int index) const {
    return index == 1 ? button1_ : index == 2 ? button2_ : nullptr;
}

void MessageAssistant::showAssistant(int buttons) {
    if (loop_) return;  // already waiting: the running call owns the answer
    pressed_ = 0;
    if (QCoreApplication::closingDown()) return;
    button2_->setVisible(buttons >= 2);

    adjustSize();
    placeOnScreen();
    const QPoint target = pos();
    show();
    raise();
    // A short entrance: the assistant rises into place.
    entrance_->stop();
    entrance_->setStartValue(target + QPoint(0, 40));
    entrance_->setEndValue(target);
    entrance_->start();
    button1_->setFocus();

    QEventLoop loop;
    loop_ = &loop;
    Q_EMIT waitingForButton();
    if (pressed_ == 0) loop.exec();
    loop_ = nullptr;
    entrance_->stop();
    hide();
}

void MessageAssistant::pressButton(int button) {
    if (button != 1 && button != 2) return;
    pressed_ = static_cast<qint16>(button);
    if (loop_) loop_->exit(0);
}

void MessageAssistant::placeOnScreen() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    move(area.right() - width() - 24, area.bottom() - height() - 24);
}

void MessageAssistant::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(250, 250, 240));
    p.setPen(QPen(QColor(31, 95, 139), 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    // The speech balloon, its tail pointing at the picture.
    const QRect pic = picture_->geometry();
    const QRect bubble(pic.right() + 12, 6, width() - pic.right() - 20, height() - 12);
    QPainterPath path;
    path.addRoundedRect(bubble, 12, 12);
    QPainterPath tail;
    const int tailY = qBound(bubble.top() + 16, pic.center().y() - 10, bubble.bottom() - 24);
    tail.moveTo(bubble.left() + 1, tailY);
    tail.lineTo(pic.right() - 2, tailY + 14);
    tail.lineTo(bubble.left() + 1, tailY + 20);
    tail.closeSubpath();
    path = path.united(tail);
    p.setBrush(QColor(255, 255, 225));
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.drawPath(path);
}

void MessageAssistant::closeEvent(QCloseEvent* event) {
    // Closing the assistant while it waits goes on as the first button does.
    if (loop_) {
        pressButton(1);
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

AssistantWindow::AssistantWindow(QWidget* parent)
    : QWidget(parent), assistant_(new MessageAssistant(this)) {
    setObjectName(QStringLiteral("FormMsgAss"));
    setWindowTitle(QStringLiteral("Ricordel"));
}

AssistantWindow::~AssistantWindow() = default;

#include "notify/reminderbox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "notify/centrewindow.h"
#include "notify/pictures.h"
#include "notify/twips.h"

namespace {

constexpr int kBaseWidth = 3690;  // fits a line of 32 characters
constexpr int kBaseLabelWidth = 2655;
constexpr int kTwipsPerExtraChar = 80;
constexpr int kBaseHeight = 1575;
constexpr int kLabelLeft = 840;
constexpr int kLabelTop = 300;
constexpr int kLabelHeight = 375;
constexpr int kButtonTop = 1020;
constexpr int kButtonWidth = 1095;
constexpr int kButtonHeight = 435;

}  // namespace

ReminderBox::ReminderBox(bool& stopReminders, std::unique_ptr<SoundPlayer> player, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      stopReminders_(stopReminders),
      player_(std::move(player)),
      image1_(new QLabel(this)),
      label1_(new QLabel(this)),
      btnOk_(new QPushButton(QStringLiteral("OK"), this)),
      btnStop_(new QPushButton(QStringLiteral("STOP"), this)) {
    setObjectName(QStringLiteral("FormMsgbox"));
    setWindowTitle(QString());
    setWindowIcon(programIcon());
    setAccessibleName(QStringLiteral("Promemoria"));

    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setPixmap(reminderBoxPicture());
    image1_->setGeometry(twipsToPixels(120), twipsToPixels(60), twipsToPixels(645),
                         twipsToPixels(600));
    image1_->setAlignment(Qt::AlignCenter);

    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setWordWrap(false);
    label1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label1_->setTextFormat(Qt::PlainText);

    btnOk_->setObjectName(QStringLiteral("BtnOk"));
    btnStop_->setObjectName(QStringLiteral("BtnStop"));
    btnOk_->setDefault(true);
    btnOk_->setAutoDefault(true);
    btnStop_->setAutoDefault(false);
    btnStop_->setToolTip(QStringLiteral("Non mostrare gli altri promemoria di questo elenco"));
    connect(btnOk_, &QPushButton::clicked, this, &ReminderBox::pressOk);
    connect(btnStop_, &QPushButton::clicked, this, &ReminderBox::pressStop);

    setMessage(QString());
}

ReminderBox::~ReminderBox() {
    if (player_) player_->stop();
}

void ReminderBox::setMessage(const QString& text) {
    // Wide integers: a long line must not wrap the width around.
    const qint64 n = text.size();
    const qint64 extra = n > 32 ? (n - 32) * kTwipsPerExtraChar : 0;
    int width = twipsToPixels(static_cast<int>(qMin<qint64>(kBaseWidth + extra, 1 << 30)));
    int labelWidth =
        twipsToPixels(static_cast<int>(qMin<qint64>(kBaseLabelWidth + extra, 1 << 30)));
    // The widths above allow about 80 twips a character; the font in use can
    // be wider, and a line must never be cut off: the label and the box grow
    // to what the text needs.
    const int needed = label1_->fontMetrics().horizontalAdvance(text) + 4;
    if (needed > labelWidth) {
        width += needed - labelWidth;
        labelWidth = needed;
    }
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int available = screen ? screen->availableGeometry().width() : width;
    // The frame takes a few pixels beside the client area.
    const int cap = qMax(twipsToPixels(kBaseWidth), available - 16);
    bool wraps = false;
    if (width > cap) {
        labelWidth -= width - cap;
        width = cap;
        wraps = true;
    }

    label1_->setWordWrap(wraps);
    label1_->setText(text);
    int labelHeight = twipsToPixels(kLabelHeight);
    if (wraps) labelHeight = qMax(labelHeight, label1_->heightForWidth(labelWidth));
    const int grow = labelHeight - twipsToPixels(kLabelHeight);
    label1_->setGeometry(twipsToPixels(kLabelLeft), twipsToPixels(kLabelTop), labelWidth,
                         labelHeight);

    const int buttonTop = twipsToPixels(kButtonTop) + grow;
    const int buttonWidth = twipsToPixels(kButtonWidth);
    btnOk_->setGeometry(twipsToPixels(180), buttonTop, buttonWidth, twipsToPixels(kButtonHeight));
    btnStop_->setGeometry(width - buttonWidth - twipsToPixels(300), buttonTop, buttonWidth,
                          twipsToPixels(kButtonHeight));
    setFixedSize(width, twipsToPixels(kBaseHeight) + grow);
    centreWindow(*this);
}

void ReminderBox::pressOk() {
    stopReminders_ = false;
    accept();
}

void ReminderBox::pressStop() {
    stopReminders_ = true;
    accept();
}

void ReminderBox::done(int result) {
    if (player_) player_->stop();
    QDialog::done(result);
}

#include "notify/captionclock.h"

#include <QTimer>
#include <QWidget>

#include "core/version.h"

QString CaptionClock::captionText(int ticks) {
    return QStringLiteral("Ricordel by Tobrani - Versione " RICORDEL_VERSION_TEXT " (%1)")
        .arg(ticks);
}

CaptionClock::CaptionClock(QWidget* mainWindow, QObject* parent)
    : QObject(parent), mainWindow_(mainWindow), timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("Timer2"));
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &CaptionClock::tick);
}

void CaptionClock::start() {
    timer_->start();
}

void CaptionClock::stop() {
    timer_->stop();
}

void CaptionClock::tick() {
    const QString caption = captionText(ticks_);
    if (mainWindow_) mainWindow_->setWindowTitle(caption);
    Q_EMIT captionChanged(caption);
    ++ticks_;
    if (ticks_ > 60) {
        Q_EMIT repaintColoursRequested();
        ticks_ = 1;
    }
}

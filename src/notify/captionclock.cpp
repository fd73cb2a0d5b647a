#include "notify/captionclock.h"

#include <QTimer>

#include "core/version.h"

QString CaptionClock::captionText(int ticks) {
    return QStringLiteral("Ricordel by Tobrani - Versione " RICORDEL_VERSION_TEXT " (%1)")
        .arg(ticks);
}

CaptionClock::CaptionClock(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
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
    Q_EMIT captionChanged(captionText(ticks_));
    ++ticks_;
    if (ticks_ > 60) {
        Q_EMIT repaintColoursRequested();
        ticks_ = 1;
    }
}

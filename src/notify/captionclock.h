#pragma once

#include <QObject>
#include <QString>

class QTimer;

// The clock in the main window's title (Timer2): once a second the caption
// shows the program's version and a count of seconds from 0 to 60; every
// 61st tick the count starts again from 1 and the urgency colours are to be
// repainted.
class CaptionClock : public QObject {
    Q_OBJECT
  public:
    explicit CaptionClock(QObject* parent = nullptr);

    void start();
    void stop();
    // One tick: gives the main window's title and counts on.
    void tick();
    int ticks() const { return ticks_; }
    QTimer* timer() const { return timer_; }

    // The caption: "Ricordel by Tobrani - Versione <version> (n)".
    static QString captionText(int ticks);

  Q_SIGNALS:
    // The main window's title, whichever window shows it.
    void captionChanged(const QString& caption);
    // Once a minute: the urgency colours are to be repainted.
    void repaintColoursRequested();

  private:
    QTimer* timer_;
    int ticks_ = 0;
};

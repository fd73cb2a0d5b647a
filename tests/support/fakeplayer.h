#pragma once

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <memory>

#include "notify/soundplayer.h"

// What the fake players of one test did, in order: "play <path>" and "stop".
struct PlayerLog {
    QStringList events;
    int created = 0;
    int alive = 0;
    // The path each live player last started, empty when stopped or silent.
    QStringList playing() const { return playing_; }

    QStringList playing_;
};

// A player that plays nothing and writes down what it was asked. Like the
// real one, a path that names no file stops it and plays nothing.
class FakePlayer final : public SoundPlayer {
  public:
    explicit FakePlayer(std::shared_ptr<PlayerLog> log) : log_(std::move(log)) {
        ++log_->created;
        ++log_->alive;
    }
    ~FakePlayer() override {
        --log_->alive;
        setPlaying({});
    }
    void play(const QString& path) override {
        log_->events << QStringLiteral("play ") + path;
        setPlaying(QFileInfo(path).isFile() ? path : QString());
    }
    void stop() override {
        log_->events << QStringLiteral("stop");
        setPlaying({});
    }
    QString current() const { return current_; }

  private:
    void setPlaying(const QString& path) {
        if (!current_.isEmpty()) log_->playing_.removeOne(current_);
        current_ = path;
        if (!current_.isEmpty()) log_->playing_ << current_;
    }
    std::shared_ptr<PlayerLog> log_;
    QString current_;
};

inline SoundPlayerFactory fakePlayerFactory(const std::shared_ptr<PlayerLog>& log) {
    return [log] { return std::unique_ptr<SoundPlayer>(std::make_unique<FakePlayer>(log)); };
}

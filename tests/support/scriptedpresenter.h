#pragma once

#include <QList>
#include <QPixmap>
#include <QStringList>

#include <functional>

#include "notify/reminderpresenter.h"

// Presents the digest without windows: writes each line down and answers
// at once, going on unless `stopAfter` says to stop that list.
class ScriptedPresenter final : public ReminderPresenter {
  public:
    void prepareAssistant(const QPixmap& picture) override {
        ++assistantPrepared;
        assistantPicture = picture;
    }
    bool present(const QString& line, const QString& soundPath, bool assistant) override {
        lines << line;
        sounds << soundPath;
        inAssistant << assistant;
        if (duringPresent) duringPresent();
        return stopAfter && stopAfter(line);
    }

    QStringList lines;
    QStringList sounds;
    QList<bool> inAssistant;  // per line: shown by the assistant
    int assistantPrepared = 0;
    QPixmap assistantPicture;
    std::function<bool(const QString&)> stopAfter;
    // Runs while a line is in front of the user.
    std::function<void()> duringPresent;
};

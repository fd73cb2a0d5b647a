#pragma once

#include <QPixmap>
#include <QStringList>

#include <functional>

#include "notify/notifier.h"

// Presents the digest without windows: writes each line down and answers
// at once, going on unless `stopAfter` says to stop that list.
class ScriptedPresenter final : public ReminderPresenter {
public:
    void PrepareAssistant(const QPixmap& picture) override {
        ++assistantPrepared;
        assistantPicture = picture;
    }
    bool Present(const QString& line, const QString& soundPath, bool assistant) override {
        lines << line;
        sounds << soundPath;
        usedAssistant = assistant;
        return stopAfter && stopAfter(line);
    }

    QStringList lines;
    QStringList sounds;
    bool usedAssistant = false;
    int assistantPrepared = 0;
    QPixmap assistantPicture;
    std::function<bool(const QString&)> stopAfter;
};

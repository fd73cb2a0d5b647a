#include "notify/digestrunner.h"

#include <QDir>
#include <QPixmap>

#include "core/agenda.h"
#include "core/clock.h"
#include "core/settings.h"
#include "notify/reminderpresenter.h"
#include "notify/soundplayer.h"

namespace {

const QString kAssistantPicture = QStringLiteral("img/msgbox.jpg");

}  // namespace

DigestRunner::DigestRunner(const Agenda& agenda, const Clock& clock, ReminderPresenter& presenter)
    : agenda_(agenda), clock_(clock), presenter_(presenter) {}

void DigestRunner::run() {
    if (running_) return;  // a digest is already waiting for the user
    running_ = true;
    const Settings& settings = agenda_.settings();
    lastReminders_ = gatherRemindersFromFiles(QDir(agenda_.dataFolder()), clock_.today(), settings);
    const bool assistant = settings.newMessageBox;
    if (assistant) presenter_.prepareAssistant(QPixmap(agenda_.filePath(kAssistantPicture)));

    for (const ReminderSection& section :
         orderForPresentation(lastReminders_, settings.sortAscending)) {
        for (const QString& line : section.lines) {
            if (cancelled_) {
                running_ = false;
                return;
            }
            const QString sound = settings.*(listTraits(section.kind).sound);
            if (presenter_.present(line, soundFileExists(sound) ? sound : QString(), assistant))
                break;  // STOP ends this list only
        }
    }
    running_ = false;
}

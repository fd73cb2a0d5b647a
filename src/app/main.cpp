#include <QApplication>
#include <QDir>

#include "core/clock.h"
#include "notify/notifier.h"
#include "notify/singleinstance.h"
#include "notify/soundplayer.h"
#include "notify/systemnotifications.h"
#include "notify/termination.h"
#include "notify/trayicon.h"
#include "operations/operations.h"
#include "ui/filedialogs.h"
#include "ui/fonts.h"
#include "ui/form1.h"
#include "ui/printcommand.h"
#include "ui/widgetdialogs.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ricordel"));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("ricordel"));

    // One copy per data folder: a second start brings the first one forward.
    SingleInstance instance(QDir::currentPath());
    if (instance.Acquire() == SingleInstance::Outcome::AlreadyRunning) {
        instance.AskRunningCopyToShow();
        return 0;
    }

    LoadItalianTranslation(app);
    InstallFontSubstitutes();

    SystemClock clock;
    WidgetDialogs dialogs;
    WidgetFileDialogs files;
    DesktopArchiveViewer archiveViewer;
    SystemPrinterAccess printer;
    SystemTrayIcon tray;
    const auto notifications = MakeSystemNotifications(&tray);
    Form1 form(Form1Services{&clock, &dialogs, &files, &archiveViewer, &printer,
                             MediaSoundPlayerFactory(), &tray, nullptr, notifications.get()});
    dialogs.setParentWidget(&form);
    files.setParentWidget(&form);

    QObject::connect(&instance, &SingleInstance::showRequested, &form, &Form1::OpenMainWindow);
    TerminationWatcher termination;
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, &form.notifier(),
                     &Notifier::Terminate);

    form.Form_Load();
    form.show();
    return app.exec();
}

#include <QApplication>

#include "core/clock.h"
#include "operations/operations.h"
#include "ui/filedialogs.h"
#include "ui/fonts.h"
#include "ui/form1.h"
#include "ui/printcommand.h"
#include "ui/widgetdialogs.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ricordel"));
    LoadItalianTranslation(app);
    InstallFontSubstitutes();

    SystemClock clock;
    WidgetDialogs dialogs;
    WidgetFileDialogs files;
    DesktopArchiveViewer archiveViewer;
    SystemPrinterAccess printer;
    Form1 form(Form1Services{&clock, &dialogs, &files, &archiveViewer, &printer});
    dialogs.setParentWidget(&form);
    files.setParentWidget(&form);

    form.Form_Load();
    form.show();
    return app.exec();
}

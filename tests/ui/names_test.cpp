// The names others rely on: every window's, control's and menu item's
// objectName, with its caption and accelerator, read from the running
// windows and compared with tests/data/names/windows.txt. Stored settings,
// other tests and the user's habits depend on them; a change here must be
// meant, and the table changed with it.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QTabWidget>
#include <QtTest/QTest>

#include "core/version.h"
#include "notify/alarmwindow.h"
#include "notify/messageassistant.h"
#include "notify/reminderbox.h"
#include "support/windowrig.h"
#include "ui/backgroundchooser.h"
#include "ui/noticedaysdialog.h"
#include "ui/serverdialog.h"

namespace {

QString quoted(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    out.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

// What the user reads on an object: its caption, and for a menu item its
// shortcut; empty for objects that show no text of their own.
QString captionOf(const QObject* object) {
    if (const auto* action = qobject_cast<const QAction*>(object)) {
        QString caption = quoted(action->text());
        if (!action->shortcut().isEmpty())
            caption +=
                QStringLiteral(" ") + action->shortcut().toString(QKeySequence::PortableText);
        return caption;
    }
    if (const auto* menu = qobject_cast<const QMenu*>(object)) return quoted(menu->title());
    if (const auto* button = qobject_cast<const QAbstractButton*>(object))
        return quoted(button->text());
    if (const auto* label = qobject_cast<const QLabel*>(object)) return quoted(label->text());
    if (const auto* group = qobject_cast<const QGroupBox*>(object)) return quoted(group->title());
    if (const auto* tabs = qobject_cast<const QTabWidget*>(object)) {
        QStringList texts;
        for (int i = 0; i < tabs->count(); ++i) texts << quoted(tabs->tabText(i));
        return texts.join(QLatin1Char(' '));
    }
    if (const auto* widget = qobject_cast<const QWidget*>(object); widget && widget->isWindow())
        return quoted(widget->windowTitle());
    return {};
}

// One line for `root` and each named object under it, in a stable order;
// the parts of the program that are not windows come under `heading`.
QStringList namesUnder(const QObject* root, const QString& heading = {}) {
    QStringList lines;
    const auto line = [](const QObject* o) -> QString {
        const QString caption = captionOf(o);
        return o->objectName() + QStringLiteral(" ") + QLatin1String(o->metaObject()->className()) +
               (caption.isEmpty() ? QString() : QStringLiteral(" ") + caption);
    };
    for (const QObject* o : root->findChildren<QObject*>()) {
        // Qt's own parts ("qt_…", "_layout") are Qt's business.
        if (o->objectName().isEmpty() || o->objectName().startsWith(QLatin1String("qt_")) ||
            o->objectName().startsWith(QLatin1Char('_')))
            continue;
        lines << QStringLiteral("  ") + line(o);
    }
    lines.sort();
    lines.prepend(heading.isEmpty() ? line(root) : heading);
    return lines;
}

}  // namespace

class NamesTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void windowsKeepTheirNamesCaptionsAndAccelerators();
};

void NamesTest::windowsKeepTheirNamesCaptionsAndAccelerators() {
    WindowRig rig;
    rig.start();
    // The program's timers (the alarm check's Timer1, the caption's Timer2)
    // and the main window with its menus.
    QStringList lines = namesUnder(&rig.app->alarms(), QStringLiteral("(alarms)"));
    lines << namesUnder(&rig.app->caption(), QStringLiteral("(caption)"));
    lines << namesUnder(rig.form);
    lines << namesUnder(rig.app->tray().menu());
    NoticeDaysDialog days(rig.agenda());
    lines << namesUnder(&days);
    BackgroundChooser background(rig.agenda());
    lines << namesUnder(&background);
    AlarmWindow alarm(fakePlayerFactory(rig.sounds)(), rig.agenda().settings());
    lines << namesUnder(&alarm);
    bool stop = false;
    ReminderBox reminder(stop, fakePlayerFactory(rig.sounds)());
    lines << namesUnder(&reminder);
    AssistantWindow assistant;
    lines << namesUnder(&assistant);
    QNetworkAccessManager network;
    ServerDialog server(&network, rig.dialogs, std::nullopt, QString());
    lines << namesUnder(&server);
    // The version in the title changes with each release, not with the names.
    const QString seen =
        QString(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'))
            .replace(QStringLiteral(RICORDEL_VERSION_TEXT), QStringLiteral("X.Y.Z"));

    QFile table(QStringLiteral(RICORDEL_TEST_DATA "/names/windows.txt"));
    if (qEnvironmentVariableIsSet("RICORDEL_WRITE_NAMES")) {
        // Writes the table anew from the running windows, for a change that is meant.
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write(seen.toUtf8());
        return;
    }
    QVERIFY2(table.open(QIODevice::ReadOnly), qPrintable(table.fileName()));
    const QStringList expected = QString::fromUtf8(table.readAll()).split(QLatin1Char('\n'));
    const QStringList actual = seen.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < std::max(expected.size(), actual.size()); ++i)
        QCOMPARE(actual.value(i), expected.value(i));
}

QTEST_MAIN(NamesTest)
#include "names_test.moc"

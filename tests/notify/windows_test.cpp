// The alert windows: the alarm window with its repeating sound, the reminder
// box with its widths and buttons, the assistant, and the real player with
// the sound files it reads.
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMediaPlayer>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest/QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "core/settings.h"
#include "notify/alarmwindow.h"
#include "notify/messageassistant.h"
#include "notify/reminderbox.h"
#include "notify/soundplayer.h"
#include "notify/twips.h"
#include "support/fakeplayer.h"
#include "support/tempfolder.h"

namespace {

int px(int twips) {
    return twipsToPixels(twips);
}

// The most address space the process has held so far (VmPeak), in KiB; -1
// where the system does not tell.
qint64 peakAddressSpaceKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmPeak:"))
            return line.mid(7).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void sirenSoundFollowsItsAlarms();
    void sirenSnoozesFromItsButtonAndMenu();
    void sirenLooks();
    void boxWidthsFollowTheText_data();
    void boxWidthsFollowTheText();
    void wideTextIsNeverCutOff();
    void longLineIsCappedAndWraps();
    void boxButtonsSetTheStopFlag();
    void assistantShowsItsPictureAndText();
    void assistantIgnoresANestedCall();
    void realPlayerPlaysNothingForAMissingFile();
    void soundFilesAreReadWithinBounds();
    void alarmSoundIsReadOncePerChange();
};

void WindowsTest::sirenSoundFollowsItsAlarms() {
    TempFolder folder;
    folder.write("allarme.wav", "RIFF");
    folder.write("gong.wav", "RIFF");
    auto log = std::make_shared<PlayerLog>();
    const QString path = folder.file("allarme.wav");
    Settings settings;
    settings.alarmSound = path;
    auto* siren = new AlarmWindow(fakePlayerFactory(log)(), settings);
    QPointer<AlarmWindow> guard(siren);
    const QDateTime now(QDate(2026, 3, 7), QTime(9, 50));
    // A warning sounds once and does not repeat.
    siren->addAlarms({{AlarmKind::Warning, now.addSecs(600), "Dentista"}}, now);
    QCOMPARE(siren->text(), "Tra 10 minuti (ore 10:00): Dentista");
    QCOMPARE(log->events, QStringList{"play " + path});
    QVERIFY(!siren->timer()->isActive());
    siren->restartSound();
    QCOMPARE(log->events.size(), 1);
    // A due alarm joins: the sound starts over now and every 3 seconds.
    siren->addAlarms({{AlarmKind::Due, now, "Riunione"}}, now);
    QVERIFY(siren->isRinging() && siren->timer()->isActive());
    QCOMPARE(siren->timer()->interval(), 3000);
    // A sound chosen while the window rings is the one that starts next.
    settings.alarmSound = folder.file("gong.wav");
    siren->restartSound();
    QCOMPARE(log->events,
             QStringList({"play " + path, "play " + path, "play " + settings.alarmSound}));
    QCOMPARE(siren->findChild<QPlainTextEdit*>("TxtMsg")->toPlainText(),
             "Tra 10 minuti (ore 10:00): Dentista\nRiunione");
    // A click on the text silences and destroys it.
    siren->showAlarm();
    QVERIFY(QTest::qWaitForWindowExposed(siren));
    QTest::mouseClick(siren->findChild<QPlainTextEdit*>("TxtMsg")->viewport(), Qt::LeftButton, {},
                      QPoint(20, 20));
    QVERIFY(siren->isClosed());
    QVERIFY(!siren->timer()->isActive());
    QVERIFY(log->playing().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard.isNull());
    QCOMPARE(log->alive, 0);
}

void WindowsTest::sirenSnoozesFromItsButtonAndMenu() {
    Settings settings;
    const QDateTime now(QDate(2026, 3, 7), QTime(9, 0));
    QPointer<AlarmWindow> siren = new AlarmWindow(nullptr, settings);
    siren->addAlarms({{AlarmKind::Due, now, "Dentista"}, {AlarmKind::Due, now, "Treno"}}, now);
    siren->showAlarm();
    QVERIFY(QTest::qWaitForWindowExposed(siren));
    QPushButton* button = nullptr;
    for (QPushButton* b : siren->findChildren<QPushButton*>())
        if (b->accessibleName() == "Ripeti tra...") button = b;
    QVERIFY(button && button->isVisible());
    QCOMPARE(button->text(), "Ripeti tra...");
    // Below the text, which keeps its place and size.
    auto* text = siren->findChild<QPlainTextEdit*>("TxtMsg");
    QVERIFY(button->geometry().top() >= text->geometry().bottom());
    QVERIFY(siren->rect().contains(button->geometry()));
    QCOMPARE(text->geometry(), QRect(px(180), px(240), px(4275), px(1875)));
    QStringList captions;
    for (QAction* item : button->menu()->actions()) captions << item->text();
    QCOMPARE(captions, QStringList({"5 minuti", "10 minuti", "15 minuti", "30 minuti", "1 ora"}));
    // The text's context menu, by keyboard, is the same menu.
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5),
                          text->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(text, &key);
    QTRY_VERIFY(button->menu()->isVisible());
    QSignalSpy snoozed(siren.data(), &AlarmWindow::snoozeRequested);
    QAction* hour = button->menu()->actions().last();
    hour->trigger();
    QCOMPARE(snoozed.count(), 1);
    QCOMPARE(snoozed.first().at(1).toInt(), 60);
    QCOMPARE(snoozed.first().at(0).value<QList<Alarm>>().size(), 2);
    QVERIFY(siren->isClosed());
}

void WindowsTest::sirenLooks() {
    const Settings settings;
    AlarmWindow siren(nullptr, settings);
    QCOMPARE(siren.windowTitle(), "Ricordel by Tobrani");
    // The program's one icon: an icon made for each window would leave its
    // pictures behind when the window goes.
    QCOMPARE(siren.windowIcon().cacheKey(), AlarmWindow(nullptr, settings).windowIcon().cacheKey());
    QCOMPARE(siren.size(), QSize(px(4710), px(2430)));
    auto* text = siren.findChild<QPlainTextEdit*>("TxtMsg");
    QCOMPARE(text->geometry(), QRect(px(180), px(240), px(4275), px(1875)));
    QCOMPARE(text->font().pointSize(), 18);
    QVERIFY(text->font().bold());
    // The light cyan shows where no text is drawn.
    const QImage shot = text->viewport()->grab().toImage();
    QCOMPARE(QColor(shot.pixel(shot.width() - 3, shot.height() - 3)), QColor(128, 255, 255));
    QVERIFY(siren.text().isEmpty());
}

void WindowsTest::boxWidthsFollowTheText_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("labelWidth");
    QTest::newRow("empty") << 0 << 3690 << 2655;
    QTest::newRow("32") << 32 << 3690 << 2655;
    QTest::newRow("33") << 33 << 3770 << 2735;
    QTest::newRow("100") << 100 << 9130 << 8095;
    QTest::newRow("396") << 396 << 32810 << 31775;  // wider than 32767 twips
}

void WindowsTest::boxWidthsFollowTheText() {
    QFETCH(int, length);
    QFETCH(int, width);
    QFETCH(int, labelWidth);
    bool stop = false;
    ReminderBox box(stop, nullptr);
    // Narrow letters fit the base widths with any font.
    const QString text(length, QLatin1Char('i'));
    box.setMessage(text);
    const int available = box.screen()->availableGeometry().width();
    if (px(width) <= available - 16) {
        QCOMPARE(box.width(), px(width));
        QCOMPARE(box.findChild<QLabel*>("Label1")->width(), px(labelWidth));
    }
    QCOMPARE(box.findChild<QLabel*>("Label1")->text(), text);
    auto* ok = box.findChild<QPushButton*>("BtnOk");
    auto* stopButton = box.findChild<QPushButton*>("BtnStop");
    QCOMPARE(ok->x(), px(180));
    QCOMPARE(stopButton->x(), box.width() - stopButton->width() - px(300));
    QCOMPARE(stopButton->size(), QSize(px(1095), px(435)));
    QCOMPARE(ok->text(), "OK");
    QCOMPARE(stopButton->text(), "STOP");
    // Centred on the screen.
    const QRect screen = box.screen()->geometry();
    QVERIFY(qAbs(box.frameGeometry().center().x() - screen.center().x()) <= 1);
}

void WindowsTest::wideTextIsNeverCutOff() {
    bool stop = false;
    ReminderBox box(stop, nullptr);
    const QString text = QStringLiteral("Domani  E' il Compleanno di MARIA WWW");  // 37 characters
    box.setMessage(text);
    auto* label = box.findChild<QLabel*>("Label1");
    QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(text));
    QVERIFY(label->geometry().right() < box.width());
    auto* stopButton = box.findChild<QPushButton*>("BtnStop");
    QCOMPARE(stopButton->x(), box.width() - stopButton->width() - px(300));
}

void WindowsTest::longLineIsCappedAndWraps() {
    bool stop = false;
    ReminderBox box(stop, nullptr);
    const int available = box.screen()->availableGeometry().width();
    const QString text = QString("parola ").repeated(200);  // 1400 characters
    box.setMessage(text);
    QVERIFY(box.width() <= available);
    auto* label = box.findChild<QLabel*>("Label1");
    QVERIFY(label->wordWrap());
    QVERIFY(label->geometry().right() < box.width());
    QVERIFY(label->height() > px(375));  // taller, to hold the wrapped lines
    auto* ok = box.findChild<QPushButton*>("BtnOk");
    QVERIFY(ok->y() >= label->geometry().bottom());
    QVERIFY(ok->geometry().bottom() < box.height());
    // A short line afterwards gives the box its base size back.
    box.setMessage("breve");
    QCOMPARE(box.width(), px(3690));
    QVERIFY(!label->wordWrap());
}

void WindowsTest::boxButtonsSetTheStopFlag() {
    TempFolder folder;
    folder.write("s.wav", "RIFF");
    auto log = std::make_shared<PlayerLog>();
    bool stop = false;
    {
        ReminderBox box(stop, fakePlayerFactory(log)());
        box.player()->play(folder.file("s.wav"));
        box.show();
        QTest::mouseClick(box.findChild<QPushButton*>("BtnStop"), Qt::LeftButton);
        QVERIFY(stop);
        QVERIFY(!box.isVisible());
        QVERIFY(log->playing().isEmpty());  // closing the box ends its sound
    }
    {
        ReminderBox box(stop, fakePlayerFactory(log)());
        box.show();
        QTest::keyClick(&box, Qt::Key_Escape);  // closed otherwise: flag unchanged
        QVERIFY(!box.isVisible());
        QVERIFY(stop);
        box.show();
        QTest::mouseClick(box.findChild<QPushButton*>("BtnOk"), Qt::LeftButton);
        QVERIFY(!stop);
        box.show();
        box.close();
        QVERIFY(!stop);
    }
}

void WindowsTest::assistantShowsItsPictureAndText() {
    AssistantWindow host;
    MessageAssistant* assistant = host.assistant();
    QCOMPARE(assistant->objectName(), "MsgAss1");
    auto* picture = assistant->findChild<QLabel*>("AssistantPicture");
    // Nothing usable in "img/msgbox.jpg": the assistant's own picture.
    assistant->setAssistantPicture(QPixmap());
    QVERIFY(!picture->pixmap().isNull());
    QPixmap mine(40, 50);
    mine.fill(Qt::green);
    assistant->setAssistantPicture(mine);
    QCOMPARE(picture->pixmap().size(), QSize(40, 50));

    auto* text = assistant->findChild<QLabel*>("AssistantText");
    QCOMPARE(text->font().pointSizeF(), 9.75);
    QVERIFY(text->font().bold());
    QCOMPARE(text->font().family(), "Comic Sans MS");
    QCOMPARE(text->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(assistant->button(2)->text(), "Stop");
    QVERIFY(!assistant->button(1)->icon().isNull());
    QVERIFY(!assistant->button(2)->icon().isNull());

    assistant->setAssistantText("Oggi  Dentista");
    // Timers keep running while it waits: one of them presses "Stop".
    QTimer::singleShot(0, assistant, [assistant] {
        QVERIFY(assistant->isVisible());
        QVERIFY(assistant->isWaiting());
        QTest::mouseClick(assistant->button(2), Qt::LeftButton);
    });
    assistant->showAssistant(2);
    QCOMPARE(assistant->pressedButton(), 2);
    QCOMPARE(text->text(), "Oggi  Dentista");
    QVERIFY(!assistant->isVisible());
    QVERIFY(!host.isVisible());
}

void WindowsTest::assistantIgnoresANestedCall() {
    AssistantWindow host;
    MessageAssistant* assistant = host.assistant();
    int nestedPressed = -1;
    QTimer::singleShot(0, assistant, [&] {
        assistant->showAssistant(2);  // returns at once: the first call is waiting
        nestedPressed = assistant->pressedButton();
        assistant->pressButton(1);
    });
    assistant->showAssistant(2);
    QCOMPARE(nestedPressed, 0);
    QCOMPARE(assistant->pressedButton(), 1);
}

void WindowsTest::realPlayerPlaysNothingForAMissingFile() {
    TempFolder folder;
    MediaSoundPlayer player;
    player.play(folder.file("manca.wav"));
    QCOMPARE(player.mediaPlayer()->playbackState(), QMediaPlayer::StoppedState);
    QVERIFY(player.mediaPlayer()->source().isEmpty());
    player.play(QString());
    QCOMPARE(player.mediaPlayer()->playbackState(), QMediaPlayer::StoppedState);
    QVERIFY(!soundFileExists(folder.path()));  // a folder is no sound file
}

void WindowsTest::soundFilesAreReadWithinBounds() {
    TempFolder folder;
    QVERIFY(QDir(folder.path()).mkdir("cartella.wav"));
    const QString corpus = QStringLiteral(RICORDEL_TEST_DATA "/sounds/");
    struct Case {
        QString path;
        WavVerdict verdict;
        qsizetype samples;  // bytes of samples read
    };
    QList<Case> cases = {
        {folder.file("cartella.wav"), WavVerdict::NotAFile, 0},
        {corpus + "fmt-claims-4gb.wav", WavVerdict::Damaged, 0},
        {corpus + "rate-huge.wav", WavVerdict::Damaged, 0},
        {corpus + "channels-65535.wav", WavVerdict::Damaged, 0},
        {corpus + "block-zero.wav", WavVerdict::Damaged, 0},
        {corpus + "block-odd.wav", WavVerdict::Damaged, 0},
        // The samples that are there, whatever their chunk claims.
        {corpus + "data-claims-4gb.wav", WavVerdict::Samples, 800},
    };
#ifdef Q_OS_UNIX
    QVERIFY(::mkfifo(QFile::encodeName(folder.file("fifo.wav")).constData(), 0600) == 0);
    cases.prepend({folder.file("fifo.wav"), WavVerdict::NotAFile, 0});
    cases.prepend({QStringLiteral("/dev/zero"), WavVerdict::NotAFile, 0});
#endif
    // Reading them neither blocks nor reserves memory for what a header
    // claims: the most address space the process ever held stays put.
    const qint64 peakBefore = peakAddressSpaceKiB();
    for (const Case& c : cases) {
        const WavFile wav = readWavFile(c.path);
        QVERIFY2(wav.verdict == c.verdict, qPrintable(c.path));
        QCOMPARE(wav.data.size(), c.samples);
        QCOMPARE(wav.reason.isEmpty(), c.verdict == WavVerdict::Samples);
    }
    if (peakBefore > 0) QCOMPARE_LT(peakAddressSpaceKiB() - peakBefore, 64 * 1024);

    // Played: what is no regular file never reaches the media player, a
    // damaged .wav goes to it (or straight to the beep where there is none).
    int beeps = 0;
    WavSoundPlayer player(std::make_shared<SoundLibrary>(readWavFile, [&beeps] { ++beeps; }));
    for (const Case& c : cases) {
        player.play(c.path);
        if (c.verdict == WavVerdict::NotAFile) {
            QCOMPARE(player.route(), SoundRoute::Nothing);
            QVERIFY(!player.mediaPlayer());
        } else if (c.verdict == WavVerdict::Samples) {
            QCOMPARE(player.route(), SoundRoute::Samples);
        } else {
            QVERIFY(player.route() == SoundRoute::MediaPlayer ||
                    player.route() == SoundRoute::Beep);
        }
    }
}

void WindowsTest::alarmSoundIsReadOncePerChange() {
    TempFolder folder;
    QFile toneFile(QStringLiteral(RICORDEL_TEST_DATA "/sounds/tone-8khz.wav"));
    QVERIFY(toneFile.open(QIODevice::ReadOnly));
    const QByteArray tone = toneFile.readAll();
    folder.write("allarme.wav", tone);
    folder.write("gong.wav", tone);
    QStringList reads;
    const SoundPlayerFactory factory =
        soundPlayerFactory(std::make_shared<SoundLibrary>([&reads](const QString& path) {
            reads << QFileInfo(path).fileName();
            return readWavFile(path);
        }));
    Settings settings;
    const QDateTime now(QDate(2026, 3, 7), QTime(9, 50));
    auto ring = [&](const QString& sound) {
        settings.alarmSound = folder.file(sound);
        AlarmWindow siren(factory(), settings);
        siren.addAlarms({{AlarmKind::Due, now, "Dentista"}}, now);
        siren.restartSound();
    };
    for (int i = 0; i < 20; ++i) ring("allarme.wav");
    ring("gong.wav");
    ring("allarme.wav");
    QCOMPARE(reads, QStringList({"allarme.wav", "gong.wav"}));
    // A file changed since it was read is read again.
    folder.write("allarme.wav", tone + tone.right(200));
    ring("allarme.wav");
    ring("allarme.wav");
    QCOMPARE(reads, QStringList({"allarme.wav", "gong.wav", "allarme.wav"}));
}

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"

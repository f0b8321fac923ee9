// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Choosing the input in the real window, on a sound server of the test's own with two sines of
// different pitch and an output's silent monitor: the menu, the take, the level and the meters
// follow the choice; it lasts; inputs that come and go; a server that stops answering.
#include "recorder/level/LevelMeter.h"
#include "recorder/window/ServerParts.h"
#include "recorder/window/frmSoundRec.h"

#include "RecorderProcess.h"
#include "RecordFor.h"
#include "ScriptedDialogs.h"
#include "SoundServer.h"
#include "TakeReader.h"
#include "platform/mixer/SourceList.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <optional>

using testsupport::readTake;

namespace {

constexpr std::size_t kLeadIn = 10u * 35280;  // 44100 Hz stereo, the window's default

// An input of the test server: how the menu must name it, and what a take from it holds.
struct Input {
    QString name;
    QString menuText;
    int periodFrames;  // of its sine at 44100 Hz; 0 for silence
    QString module;    // the module that makes it, to unload
};

// The menu's text for each source, read back from pactl.
QString menuTextOf(const testsound::SoundServer& server, const QString& source) {
    const auto parse = [&](const char* what) {
        return QJsonDocument::fromJson(server
                                           .pactl({QStringLiteral("-f"), QStringLiteral("json"),
                                                   QStringLiteral("list"), QString::fromLatin1(what)})
                                           .value_or(QString())
                                           .toUtf8())
            .array();
    };
    for (const auto& k : parse("sinks")) {
        if (k.toObject()[QStringLiteral("monitor_source")].toString() == source) {
            return QStringLiteral("Som do computador: ") +
                   k.toObject()[QStringLiteral("description")].toString();
        }
    }
    for (const auto& s : parse("sources")) {
        if (s.toObject()[QStringLiteral("name")].toString() == source) {
            return s.toObject()[QStringLiteral("description")].toString();
        }
    }
    return {};
}

// Every channel of `source` at `percent`.
bool at(const testsound::SoundServer& server, const QString& source, int percent) {
    const auto volume = server.sourceVolumePercent(source);
    return !volume.empty() && std::all_of(volume.begin(), volume.end(), [&](int v) { return v == percent; });
}

QString load(testsound::SoundServer& server, const QStringList& arguments) {
    return server.pactl(QStringList{QStringLiteral("load-module")} + arguments).value_or(QString()).trimmed();
}

// The real parts of the program, one connection shared, as main() makes them.
struct Program {
    Program(const QString& settingsFile, const QString& sourceForThisRun = {})
        : parts(QStringLiteral("Tolvane tests")), settings(settingsFile, QSettings::IniFormat), window([&] {
              RecorderServices services = parts.services();
              services.dialogs = &dialogs;
              services.programFolder = folder.path();
              services.settings = &settings;
              services.sourceForThisRun = sourceForThisRun;
              return services;
          }()) {
        window.show();
    }

    bool lists(const QString& name) const {
        const auto all = sources->sources();
        return std::any_of(all.begin(), all.end(), [&](const auto& s) { return s.name == name; });
    }

    // Opens the menu with Shift+F10 on the slider and hands it to `inside` while it is open.
    void withMenu(const std::function<void(QMenu&)>& inside) {
        bool seen = false;
        QTimer::singleShot(0, &window, [&] {
            QMenu* menu = window.inputMenu();
            if (menu != nullptr) {
                seen = true;
                inside(*menu);
                if (menu->isVisible()) {
                    menu->close();
                }
            }
        });
        window.scrLevel()->setFocus();
        QTest::keyClick(window.scrLevel(), Qt::Key_F10, Qt::ShiftModifier);
        EXPECT_TRUE(seen) << "Shift+F10 on the slider opens the input menu";
    }

    QStringList menuEntries() {
        QStringList entries;
        withMenu([&](QMenu& menu) {
            for (QAction* action : menu.actions()) {
                entries << (action->isSeparator()
                                ? QStringLiteral("---") + action->text()
                                : (action->isChecked() ? QStringLiteral("[x] ") : QString()) +
                                      action->text());
            }
        });
        return entries;
    }

    // Chooses `text` with the keyboard alone: down arrows to it, then Enter.
    void chooseWithKeyboard(const QString& text, testsound::SoundServer& testServer) {
        withMenu([&](QMenu& menu) {
            int downs = 0;
            for (QAction* action : menu.actions()) {
                if (!action->isSeparator() && action->isEnabled()) {
                    ++downs;
                }
                if (action->text() == text) {
                    break;
                }
            }
            for (int i = 0; i < downs; ++i) {
                QTest::keyClick(&menu, Qt::Key_Down);
            }
            ASSERT_EQ(menu.activeAction() != nullptr ? menu.activeAction()->text() : QString(), text);
            // The server tells of a change that leaves the list as it was: the place holds.
            QSignalSpy told(sources, &platform::mixer::SourceList::changed);
            ASSERT_TRUE(testServer.pactl(
                {QStringLiteral("set-sink-mute"), QStringLiteral("quiet"), QStringLiteral("toggle")}));
            ASSERT_TRUE(told.wait(20000));
            ASSERT_EQ(menu.activeAction() != nullptr ? menu.activeAction()->text() : QString(), text);
            QTest::keyClick(&menu, Qt::Key_Return);
        });
    }

    // A take through the record toggle, stopped once it holds `seconds` of audio after its lead-in
    // (a server may take a while to start delivering); its file.
    QString take(double seconds = 1.5) {
        window.Check1()->click();
        if (!window.captureEngine().isRecording()) {
            return {};
        }
        const QString file = window.takeFileName;
        const auto wanted = static_cast<qint64>(46 + kLeadIn + seconds * 176400);
        const bool full = QTest::qWaitFor([&] { return QFileInfo(file).size() >= wanted; }, 30000);
        if (window.Check1()->isChecked()) {
            window.Check1()->click();
        }
        return full && testsupport::takeFinished(window) ? file : QString();
    }

    QTemporaryDir folder;
    testsupport::ScriptedDialogs dialogs;
    ServerParts parts;
    platform::mixer::SourceList* sources = parts.sources.get();
    QSettings settings;
    frmSoundRec window;
};

// What a take holds after its lead-in: the period of its sine in frames, or 0 for silence.
int heardPeriod(const QString& path) {
    const auto take = readTake(path);
    if (take.dataLength() <= kLeadIn + 88200) {
        return -1;
    }
    bool silent = true;
    for (std::size_t i = kLeadIn / 2; i < take.dataLength() / 2 && silent; ++i) {
        silent = take.sample(i) == 0;
    }
    if (silent) {
        return 0;
    }
    // Judged from half a second in, as every sine take is.
    const auto periods = testsupport::sinePeriods(take, kLeadIn + 88200, take.dataLength(), 2);
    return periods.shortest + 1 >= periods.longest
               ? static_cast<int>((periods.shortest + periods.longest) / 2)
               : -2;
}

class InputChoice : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start({QStringLiteral("quiet")}));
        if (server.isPipeWire()) {
            // PipeWire's service has no sine source module: its own 440 Hz sine, and an output
            // playing a 1000 Hz tone whose monitor is the second input.
            const QString tone =
                load(server, {QStringLiteral("module-null-sink"), QStringLiteral("sink_name=tone")});
            const auto file =
                testsound::makeSound(server.folder(), "tone.wav", 120, {"sine", "1000", "vol", "0.5"});
            ASSERT_TRUE(file && !tone.isEmpty());
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return !menuTextOf(server, "tone.monitor").isEmpty(); }, 20000));
            ASSERT_TRUE(server.play(*file, QStringLiteral("tone")));
            low = {QStringLiteral("tolvane_sine"), {}, 100, {}};
            high = {QStringLiteral("tone.monitor"), {}, 44, tone};
        } else {
            low = {QStringLiteral("sine_low"),
                   {},
                   100,
                   load(server, {QStringLiteral("module-sine-source"), QStringLiteral("source_name=sine_low"),
                                 QStringLiteral("frequency=441")})};
            high = {
                QStringLiteral("sine_high"),
                {},
                44,
                load(server, {QStringLiteral("module-sine-source"), QStringLiteral("source_name=sine_high"),
                              QStringLiteral("frequency=1002")})};
        }
        // An output's monitor delivers only while something plays into it: silence does.
        const auto silence =
            testsound::makeSound(server.folder(), "silence.wav", 300, {"sine", "1000", "vol", "0"});
        ASSERT_TRUE(silence && server.playAlso(*silence, QStringLiteral("quiet")));
        monitor = {QStringLiteral("quiet.monitor"), {}, 0, {}};
        for (Input* input : {&low, &high, &monitor}) {
            input->menuText = menuTextOf(server, input->name);
            ASSERT_FALSE(input->menuText.isEmpty()) << input->name.toStdString();
            ASSERT_TRUE(
                server.pactl({QStringLiteral("set-source-volume"), input->name, QStringLiteral("50%")}));
        }
    }

    QString settingsFile() const { return server.folder() + QStringLiteral("/settings.ini"); }

    testsound::SoundServer server;
    Input low, high, monitor;
};

TEST_F(InputChoice, TakeLevelAndMetersFollowTheChoiceWhichLasts) {
    {
        Program p(settingsFile());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return p.lists(low.name) && p.lists(high.name) && p.lists(monitor.name); }, 20000));
        const QStringList entries = p.menuEntries();
        ASSERT_GE(entries.size(), 5);
        EXPECT_EQ(entries[0], QStringLiteral("---Entrada de áudio"));
        EXPECT_EQ(entries[1], QStringLiteral("[x] Padrão do sistema"));
        const qsizetype separator = entries.indexOf(QStringLiteral("---"));
        // Sources first, then what the computer plays.
        for (const Input* input : {&low, &high, &monitor}) {
            const qsizetype at = entries.indexOf(input->menuText);
            EXPECT_GT(at, 1) << entries.join('|').toStdString();
            EXPECT_EQ(at > separator, input->menuText.startsWith(QStringLiteral("Som do computador: ")))
                << entries.join('|').toStdString();
        }

        for (const Input* input : {&high, &monitor, &low}) {
            SCOPED_TRACE(input->name.toStdString());
            p.chooseWithKeyboard(input->menuText, server);
            EXPECT_EQ(p.sources->chosen(), input->name);
            EXPECT_TRUE(p.menuEntries().contains(QStringLiteral("[x] ") + input->menuText));
            EXPECT_EQ(p.window.AniGIF2()->toolTip(), QStringLiteral("Entrada: ") + input->menuText);
            EXPECT_EQ(p.window.AniGIF3()->accessibleDescription(),
                      QStringLiteral("Entrada: ") + input->menuText);

            // The slider moves the chosen input's volume and leaves the others.
            // Both ends, the far one first, so each key moves the slider.
            const bool atTop = p.window.scrLevel()->value() == p.window.scrLevel()->maximum();
            const std::pair<Qt::Key, int> top{Qt::Key_End, 90};
            const std::pair<Qt::Key, int> bottom{Qt::Key_Home, 0};
            for (const auto& [key, percent] : atTop ? std::array{bottom, top} : std::array{top, bottom}) {
                QTest::keyClick(p.window.scrLevel(), key);
                EXPECT_TRUE(QTest::qWaitFor([&] { return at(server, input->name, percent); }, 20000));
            }
            for (const Input* other : {&low, &high, &monitor}) {
                if (other != input) {
                    EXPECT_TRUE(at(server, other->name, 50)) << other->name.toStdString();
                }
            }
            ASSERT_TRUE(
                server.pactl({QStringLiteral("set-source-volume"), input->name, QStringLiteral("50%")}));

            // The meters show the chosen input: lit by a sine, dark on silence.
            if (input->periodFrames > 0) {
                EXPECT_TRUE(QTest::qWaitFor([&] { return p.window.AniGIF2()->litCells() > 0; }, 20000));
            } else {
                QTest::qWait(2500);
                EXPECT_EQ(p.window.AniGIF2()->litCells(), 0);
            }

            const QString file = p.take();
            ASSERT_FALSE(file.isEmpty()) << p.dialogs.messages().join(' ').toStdString();
            EXPECT_NEAR(heardPeriod(file), input->periodFrames, 1) << readTake(file).dataLength() << " bytes";
            EXPECT_EQ(testsupport::independentReadersComplaints(file, 2, 44100), QString());
            p.window.takeSaved = true;
        }
        EXPECT_TRUE(p.dialogs.messages().isEmpty()) << p.dialogs.messages().join(' ').toStdString();
    }

    // The choice holds after a restart; an input asked for this run wins, and is not kept.
    struct Run {
        const char* what;
        QString forThisRun;
        const Input* records;
    };
    for (const Run& run : {Run{"restart", {}, &low}, Run{"asked for this run", high.name, &high},
                           Run{"restart after that", {}, &low}}) {
        SCOPED_TRACE(run.what);
        Program p(settingsFile(), run.forThisRun);
        ASSERT_TRUE(QTest::qWaitFor([&] { return p.lists(run.records->name); }, 20000));
        EXPECT_EQ(p.sources->chosen(), run.records->name);
        EXPECT_TRUE(p.menuEntries().contains(QStringLiteral("[x] ") + run.records->menuText));
        const QString file = p.take();
        ASSERT_FALSE(file.isEmpty()) << p.dialogs.messages().join(' ').toStdString();
        EXPECT_NEAR(heardPeriod(file), run.records->periodFrames, 1);
        p.window.takeSaved = true;
    }
}

TEST_F(InputChoice, AChosenInputThatGoesAwayIsNeverReplaced) {
    Program p(settingsFile());
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.lists(high.name); }, 20000));
    p.chooseWithKeyboard(high.menuText, server);

    // Gone while idle: the list drops it, and a press records nothing and says so once.
    ASSERT_TRUE(server.pactl({QStringLiteral("unload-module"), high.module}));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.lists(high.name); }, 20000));
    std::printf("the list dropped the unloaded input %lld ms after the unload\n",
                static_cast<long long>(clock.elapsed()));
    RecordProperty("dropped_ms", static_cast<int>(clock.elapsed()));
    EXPECT_TRUE(
        p.menuEntries().contains(QStringLiteral("[x] ") + high.name + QStringLiteral(" (não disponível)")));
    p.window.Check1()->click();
    EXPECT_FALSE(p.window.Check1()->isChecked());
    EXPECT_FALSE(p.window.captureEngine().isRecording());
    EXPECT_TRUE(testsupport::takeFilesIn(p.folder.path()).isEmpty());
    ASSERT_EQ(p.dialogs.messages().size(), 1);
    EXPECT_TRUE(p.dialogs.messages()[0].contains(high.menuText)) << p.dialogs.messages()[0].toStdString();

    // Back, then gone during a take: the take ends, whole and valid, with one box.
    if (server.isPipeWire()) {
        high.module = load(server, {QStringLiteral("module-null-sink"), QStringLiteral("sink_name=tone")});
        const auto file =
            testsound::makeSound(server.folder(), "tone2.wav", 60, {"sine", "1000", "vol", "0.5"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return p.lists(high.name); }, 20000));
        ASSERT_TRUE(file && server.play(*file, QStringLiteral("tone")));
    } else {
        high.module =
            load(server, {QStringLiteral("module-sine-source"), QStringLiteral("source_name=sine_high"),
                          QStringLiteral("frequency=1002")});
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.lists(high.name); }, 20000));
    p.window.Check1()->click();
    ASSERT_TRUE(p.window.captureEngine().isRecording()) << p.dialogs.messages().join(' ').toStdString();
    // During the take the menu shows the choice and changes nothing.
    p.withMenu([&](QMenu& menu) {
        for (QAction* action : menu.actions()) {
            EXPECT_FALSE(action->isEnabled() && action->isCheckable()) << action->text().toStdString();
            if (action->text() == monitor.menuText) {
                action->trigger();
            }
        }
    });
    EXPECT_EQ(p.sources->chosen(), high.name);
    const QString file = p.window.takeFileName;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QFileInfo(file).size() >= qint64{46 + kLeadIn + 2 * 176400}; }, 30000));
    ASSERT_TRUE(server.pactl({QStringLiteral("unload-module"), high.module}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.window.Check1()->isChecked(); }, 20000));
    EXPECT_FALSE(p.window.captureEngine().isRecording());
    ASSERT_EQ(p.dialogs.messages().size(), 2) << p.dialogs.messages().join(' ').toStdString();
    EXPECT_TRUE(p.dialogs.messages()[1].contains(QStringLiteral("foi desconectada")));
    EXPECT_EQ(heardPeriod(p.window.takeFileName), high.periodFrames);
    EXPECT_EQ(testsupport::independentReadersComplaints(p.window.takeFileName, 2, 44100), QString());
    p.window.takeSaved = true;

    // The server reads a number as a source's index: asked for by "name", the lit input's index is
    // no input at all. The meters stay dark, the slider moves nothing, a press says so.
    QString index;
    for (const QString& line :
         server.pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sources")})
             .value_or(QString())
             .split('\n')) {
        if (line.section('\t', 1, 1) == low.name) {
            index = line.section('\t', 0, 0);
        }
    }
    ASSERT_FALSE(index.isEmpty());
    Program q(settingsFile(), index);
    ASSERT_TRUE(QTest::qWaitFor([&] { return q.lists(low.name); }, 20000));
    QTest::keyClick(q.window.scrLevel(), q.window.scrLevel()->value() == 0 ? Qt::Key_End : Qt::Key_Home);
    QTest::qWait(2500);
    EXPECT_EQ(q.window.AniGIF2()->litCells(), 0);
    EXPECT_TRUE(at(server, low.name, 50));
    q.window.Check1()->click();
    EXPECT_FALSE(q.window.captureEngine().isRecording());
    EXPECT_EQ(q.dialogs.messages().size(), 1) << q.dialogs.messages().join(' ').toStdString();
}

TEST_F(InputChoice, TheWindowGoesOnWhileTheServerIsStoppedAndTheLastLevelWins) {
    Program p(settingsFile());
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.lists(low.name); }, 20000));
    p.chooseWithKeyboard(low.menuText, server);
    const qint64 pid = server.pulsePid();
    ASSERT_GT(pid, 0);

    ::kill(static_cast<pid_t>(pid), SIGSTOP);
    int ticks = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
    clock.start(20);
    QElapsedTimer pressing;
    pressing.start();
    // Steps of the slider while nobody answers: each goes on its way at once, the window with it.
    for (const auto key : {Qt::Key_Home, Qt::Key_Right, Qt::Key_PageUp, Qt::Key_End, Qt::Key_PageDown}) {
        QTest::keyClick(p.window.scrLevel(), key);
        QTest::qWait(50);
    }
    const qint64 pressed = pressing.elapsed();
    const int ticksWhilePressing = ticks;
    std::printf("five slider steps with the server stopped took %lld ms; %d timer ticks meanwhile\n",
                static_cast<long long>(pressed), ticksWhilePressing);
    // The server stays stopped until every step is back: a step that waited on it would hold the
    // test here until its time limit, long after the timer stopped ticking.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    ASSERT_TRUE(stat.open(QIODevice::ReadOnly));
    EXPECT_EQ(stat.readAll().split(' ').value(2), QByteArray("T")) << "the server was still stopped";
    EXPECT_GT(ticksWhilePressing, 0);
    const int expected =
        static_cast<int>(std::lround(std::lround(p.window.scrLevel()->value() * 1.8) * 100.0 / 65535));
    ::kill(static_cast<pid_t>(pid), SIGCONT);

    EXPECT_TRUE(QTest::qWaitFor([&] { return at(server, low.name, expected); }, 30000))
        << "expected " << expected;
    EXPECT_TRUE(at(server, high.name, 50));
    EXPECT_TRUE(p.dialogs.messages().isEmpty());
}

}  // namespace

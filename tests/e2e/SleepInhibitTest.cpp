// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The computer stays awake for exactly a take's life: the real program on a private D-Bus bus with a
// stand-in logind, or a stand-in portal where logind is not there, that logs every call and every
// lock that ends. Nothing is asked at rest; each take asks once; the lock ends at the stop, when the
// program is killed, and when the sound server goes away.
#include "PrivateBus.h"
#include "RecorderProcess.h"
#include "ScriptedDialogs.h"

#include "platform/power/SleepInhibitor.h"
#include "SimulatedWaveIn.h"
#include "recorder/capture/CaptureEngine.h"
#include "recorder/window/frmSoundRec.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using testsupport::PrivateBus;
using testsupport::RecorderProcess;
using testsupport::VirtualDisplay;

namespace {

const QString kNoBus = QStringLiteral("unix:path=/nonexistent/tolvane-no-bus");

}  // namespace

TEST(SleepInhibit, HeldForExactlyEachTakeOfTheRealProgram) {
    VirtualDisplay display;
    ASSERT_TRUE(display.running());
    const struct {
        PrivateBus::Service service;
        const char* inhibit;  // the stand-in's log line for the first call
        const char* atStop;   // how the lock ended at the stop
        const char* atKill;   // and when the program was killed
    } rows[] = {
        {PrivateBus::Service::Logind, "sleep Tolvane Gravando block", "closed", "closed"},
        // logind is not on the system bus, as in a sandbox: the portal, asked for suspend (4).
        {PrivateBus::Service::Portal, "4 Gravando", "close", "gone"},
    };
    for (const auto& row : rows) {
        const bool logind = row.service == PrivateBus::Service::Logind;
        SCOPED_TRACE(logind ? "logind" : "portal");
        PrivateBus bus(row.service);
        ASSERT_TRUE(bus.ready()) << bus.problem().toStdString();
        const QStringList environment{
            QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS=") + bus.address(),
            QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + (logind ? kNoBus : bus.address()),
            QStringLiteral("LANG=C"), QStringLiteral("LC_ALL=C")};
        const auto line = [](const char* verb, int n, const char* rest) {
            return QStringLiteral("%1 %2 %3").arg(QLatin1String(verb)).arg(n).arg(QLatin1String(rest));
        };

        QTemporaryDir first;
        {
            RecorderProcess program(display, first.path(), environment);
            ASSERT_TRUE(program.waitForWindow()) << program.output().toStdString();
            QThread::msleep(1500);
            EXPECT_TRUE(bus.calls().isEmpty()) << "asked at rest: " << bus.calls().join(';').toStdString();

            ASSERT_FALSE(program.startTake().isEmpty()) << program.report();
            EXPECT_TRUE(bus.waitFor(line("inhibit", 1, row.inhibit))) << bus.calls().join(';').toStdString();
            QThread::msleep(1000);
            EXPECT_EQ(bus.calls(), QStringList{line("inhibit", 1, row.inhibit)})
                << "one call, held while recording";

            ASSERT_TRUE(program.pressToggle());
            EXPECT_TRUE(bus.waitFor(line("released", 1, row.atStop))) << bus.calls().join(';').toStdString();
            QThread::msleep(1000);
            EXPECT_EQ(bus.calls().size(), 2) << bus.calls().join(';').toStdString();
        }

        QTemporaryDir second;
        RecorderProcess program(display, second.path(), environment);
        ASSERT_FALSE(program.startTake().isEmpty()) << program.report();
        EXPECT_TRUE(bus.waitFor(line("inhibit", 2, row.inhibit))) << bus.calls().join(';').toStdString();
        program.signal(SIGKILL);
        EXPECT_EQ(program.waitForExit(10000), -1);
        EXPECT_TRUE(bus.waitFor(line("released", 2, row.atKill))) << bus.calls().join(';').toStdString();
    }
}

TEST(SleepInhibit, ASoundServerLostMidTakeEndsTheLock) {
    PrivateBus bus(PrivateBus::Service::Logind);
    ASSERT_TRUE(bus.ready()) << bus.problem().toStdString();
    // Read when this process first reaches its system bus, which is below.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address().toUtf8());
    auto inhibitor =
        platform::power::makeSleepInhibitor(QStringLiteral("Tolvane"), QStringLiteral("Gravando"));
    QTemporaryDir folder;
    testsupport::ScriptedDialogs dialogs;
    platform::wavein::SimulatedWaveIn device(platform::wavein::SimulatedSource::counter(),
                                             platform::wavein::Pacing::Manual,
                                             platform::wavein::SimulatedFaults::dieAfter(3 * 35280));
    frmSoundRec window({.waveIn = device,
                        .dialogs = &dialogs,
                        .programFolder = folder.path(),
                        .sleepInhibitor = inhibitor.get()});
    window.Check1()->click();
    ASSERT_TRUE(bus.waitFor(QStringLiteral("inhibit 1 sleep Tolvane Gravando block")));
    // The stand-in logs before it answers; the answer arrives a moment later.
    for (int i = 0; i < 200 && !inhibitor->held(); ++i) {
        QTest::qWait(25);
    }
    EXPECT_TRUE(inhibitor->held());
    for (int i = 0; i < 10 && window.captureEngine().isRecording(); ++i) {
        device.produce(35280);
        QCoreApplication::sendPostedEvents(&window);
    }
    ASSERT_FALSE(window.captureEngine().isRecording());
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].contains(QStringLiteral("servidor de som saiu do ar")));
    EXPECT_TRUE(bus.waitFor(QStringLiteral("released 1 closed"))) << bus.calls().join(';').toStdString();
    EXPECT_FALSE(inhibitor->held());
}

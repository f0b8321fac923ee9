// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The real recorder program run as a user runs it: on a private X display, from a folder of its
// own (a portable install, so its takes land beside it), driven with the keyboard.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

namespace testsupport {

// A private X server (Xvfb) for the test's lifetime.
class VirtualDisplay {
public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool running() const { return !name_.isEmpty(); }
    QString name() const { return name_; }  // ":N"

private:
    QProcess server_;
    QProcess windowManager_;
    QString name_;
};

class RecorderProcess {
public:
    // Puts the test build's `tolvane` into `folder` (a hard link, or a copy across file systems)
    // and starts it there on `display` with `arguments`, with `environment` ("NAME=value") added to
    // the test's. Its settings live in the folder.
    RecorderProcess(const VirtualDisplay& display, const QString& folder, const QStringList& environment = {},
                    const QStringList& arguments = {});
    ~RecorderProcess();  // kills the program if it still runs
    RecorderProcess(const RecorderProcess&) = delete;
    RecorderProcess& operator=(const RecorderProcess&) = delete;

    // Waits for the main window to be shown; false when it never was.
    bool waitForWindow();
    // Waits until the program shows `count` windows (the main window and a box over it: 2); false
    // when it never did.
    bool waitForWindows(int count, int timeoutMs = 30000);
    // How many windows of the program are shown (the main window, a message box over it...).
    int visibleWindows() const;
    // Presses the record toggle with the keyboard, as the window's first control.
    bool pressToggle();
    // Presses `keys` ("ctrl+m") in the main window.
    bool pressKeys(const QString& keys);
    // Waits until a take file in the folder, other than those in `others`, holds audio beyond its
    // header; its path, or empty.
    QString waitForTake(int timeoutMs = 20000, const QStringList& others = {}) const;
    // Waits for the window, presses the toggle and waits for the take it starts, as waitForTake;
    // its path, or empty with the step that failed in report().
    QString startTake(const QStringList& others = {});

    void signal(int number);
    // Waits for the program to end; its exit code, or -1 when it was killed or did not end in time.
    int waitForExit(int timeoutMs);
    qint64 pid() const { return process_.processId(); }
    QString output();
    // What went wrong in the last step that failed, and what the program printed: for a failure's message.
    std::string report();

private:
    bool xdotool(const QStringList& arguments, QString* output = nullptr) const;
    bool activateAndPress(const QString& keys);

    QString display_;
    QString folder_;
    QProcess process_;
    QString window_;
    QString failed_;
};

// The folder's take files ("*.WAV"), by name.
QStringList takeFilesIn(const QString& folder);

}  // namespace testsupport

// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/CommandLine.h"

#include "recorder/window/TakeFolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace tolvane {

namespace {

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
};

std::unique_ptr<Parser> makeParser() {
    auto p = std::make_unique<Parser>();
    p->parser.setApplicationDescription(
        QStringLiteral("Records the default sound source into 16-bit PCM WAV takes."));
    return p;
}

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QString whereTakesGo() {
    const TakeFolderChoice choice = thisProgramsTakeFolder();
    const QString rule =
        choice.besideProgram
            ? QStringLiteral("this copy runs from a writable folder of its own, so takes go next to it:")
            : QStringLiteral("this copy is installed (or its folder is read-only), so takes go to the "
                             "user's music folder:");
    return QStringLiteral("Where takes go:\n  %1\n  %2\n").arg(rule, choice.path);
}

const QString kSoundServer = QStringLiteral(
    "Sound:\n"
    "  Takes record the default source of PulseAudio or of PipeWire's PulseAudio service.\n"
    "  PULSE_SOURCE=<name> records another source; PULSE_SERVER=<address> uses another server.\n");

}  // namespace

std::optional<int> answerHelpOrVersion(int argc, char** argv) {
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        asked = asked || arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all" || arg == "-v" ||
                arg == "--version";
    }
    if (!asked) {
        return std::nullopt;
    }
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOLVANE_VERSION));
    auto p = makeParser();
    p->parser.parse(QCoreApplication::arguments());
    if (p->parser.isSet(p->version)) {
        print(stdout, QStringLiteral("Tolvane %1\n").arg(QStringLiteral(TOLVANE_VERSION)));
        return 0;
    }
    print(stdout, p->parser.helpText() + QLatin1Char('\n') + whereTakesGo() + QLatin1Char('\n') + kSoundServer);
    return 0;
}

std::optional<int> refuseUnknownArguments(const QStringList& arguments) {
    auto p = makeParser();
    QString error;
    if (!p->parser.parse(arguments)) {
        error = p->parser.errorText();
    } else if (!p->parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("Tolvane takes no arguments: '%1'.").arg(p->parser.positionalArguments().join(' '));
    } else {
        return std::nullopt;
    }
    print(stderr, QStringLiteral("tolvane: %1\nTry 'tolvane --help'.\n").arg(error));
    return 2;
}

}  // namespace tolvane

// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/CommandLine.h"

#include "recorder/i18n/Language.h"
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
    p->parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine", "Grava a fonte de som padrão em arquivos WAV PCM de 16 bits."));
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
            ? QCoreApplication::translate("CommandLine",
                                          "esta cópia roda de uma pasta própria com permissão de "
                                          "escrita, então as gravações ficam ao lado dela:")
            : QCoreApplication::translate("CommandLine",
                                          "esta cópia está instalada (ou sua pasta é somente "
                                          "leitura), então as gravações vão para a pasta de "
                                          "música do usuário:");
    return QCoreApplication::translate("CommandLine", "Onde ficam as gravações:\n  %1\n  %2\n")
        .arg(rule, choice.path);
}

QString soundServer() {
    return QCoreApplication::translate(
        "CommandLine",
        "Som:\n"
        "  As gravações vêm da fonte padrão do PulseAudio ou do serviço PulseAudio do PipeWire.\n"
        "  PULSE_SOURCE=<nome> grava de outra fonte; PULSE_SERVER=<endereço> usa outro servidor.\n");
}

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
    // The help reads in the language the window would.
    i18n::installTranslations();
    auto p = makeParser();
    p->parser.parse(QCoreApplication::arguments());
    if (p->parser.isSet(p->version)) {
        print(stdout, QStringLiteral("Tolvane %1\n").arg(QStringLiteral(TOLVANE_VERSION)));
        return 0;
    }
    print(stdout,
          p->parser.helpText() + QLatin1Char('\n') + whereTakesGo() + QLatin1Char('\n') + soundServer());
    return 0;
}

std::optional<int> refuseUnknownArguments(const QStringList& arguments) {
    auto p = makeParser();
    QString error;
    if (!p->parser.parse(arguments)) {
        error = p->parser.errorText();
    } else if (!p->parser.positionalArguments().isEmpty()) {
        error = QCoreApplication::translate("CommandLine", "O Tolvane não aceita argumentos: '%1'.")
                    .arg(p->parser.positionalArguments().join(' '));
    } else {
        return std::nullopt;
    }
    print(stderr, QCoreApplication::translate("CommandLine", "tolvane: %1\nExperimente 'tolvane --help'.\n")
                      .arg(error));
    return 2;
}

}  // namespace tolvane

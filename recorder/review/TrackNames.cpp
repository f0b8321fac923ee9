// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/TrackNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>

namespace review {

namespace {

// File systems that keep names the way Windows does, and refuse what Windows refuses in them; a
// user digitising a side often saves to a USB stick or a shared folder of this kind.
constexpr std::array<unsigned long, 7> kWindowsNaming{
    MSDOS_SUPER_MAGIC, EXFAT_SUPER_MAGIC,
    0x5346544eUL,  // ntfs
    0x7366746eUL,  // ntfs3
    SMB_SUPER_MAGIC,   CIFS_SUPER_MAGIC,  SMB2_SUPER_MAGIC,
};
const QString kWindowsRefuses = QStringLiteral("\"*:<>?\\|");

bool isControl(QChar c) {
    return c.category() == QChar::Other_Control;
}

}  // namespace

Destination destinationAt(const QString& folder) {
    Destination destination;
    destination.folder = folder;
    const QByteArray encoded = QFile::encodeName(folder);
    const long nameMax = ::pathconf(encoded.constData(), _PC_NAME_MAX);
    destination.nameMax = nameMax > 0 ? nameMax : NAME_MAX;
    struct statfs about {};
    if (::statfs(encoded.constData(), &about) == 0 &&
        std::find(kWindowsNaming.begin(), kWindowsNaming.end(), static_cast<unsigned long>(about.f_type)) !=
            kWindowsNaming.end()) {
        destination.refusedCharacters = kWindowsRefuses;
    }
    destination.holds = [encoded](const QString& name) {
        struct stat entry {};
        // lstat: a broken link is a name taken as much as a file is.
        return ::lstat((encoded + '/' + QFile::encodeName(name)).constData(), &entry) == 0;
    };
    return destination;
}

QString folderPath(const QString& typed) {
    QString path = typed.trimmed();
    if (path.isEmpty()) {
        return path;
    }
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/"))) {
        path.replace(0, 1, QDir::homePath());
    }
    return QDir::cleanPath(path);
}

FolderTrouble folderTrouble(const QString& path) {
    if (path.isEmpty()) {
        return FolderTrouble::Empty;
    }
    if (!QDir::isAbsolutePath(path)) {
        return FolderTrouble::NotAbsolute;
    }
    const QByteArray encoded = QFile::encodeName(path);
    struct stat entry {};
    if (::stat(encoded.constData(), &entry) != 0) {
        return FolderTrouble::Missing;
    }
    if (!S_ISDIR(entry.st_mode)) {
        return FolderTrouble::NotFolder;
    }
    if (::access(encoded.constData(), W_OK | X_OK) != 0) {
        return FolderTrouble::NotWritable;
    }
    return FolderTrouble::None;
}

QString describe(FolderTrouble trouble, const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    switch (trouble) {
        case FolderTrouble::None:
            return QString();
        case FolderTrouble::Empty:
            return QCoreApplication::translate("TrackNames", "Escolha a pasta onde salvar as faixas.");
        case FolderTrouble::NotAbsolute:
            return QCoreApplication::translate("TrackNames",
                                               "Escreva o caminho completo da pasta, começando por \"/\".");
        case FolderTrouble::Missing:
            return QCoreApplication::translate("TrackNames", "A pasta \"%1\" não existe.").arg(shown);
        case FolderTrouble::NotFolder:
            return QCoreApplication::translate("TrackNames", "\"%1\" não é uma pasta.").arg(shown);
        case FolderTrouble::NotWritable:
            return QCoreApplication::translate("TrackNames", "Não é possível gravar na pasta \"%1\".")
                .arg(shown);
    }
    return QString();
}

QString cleanTitle(const QString& title) {
    return title.trimmed();
}

QString trackFileName(int number, int count, const QString& title, const QString& extension) {
    const int digits = std::max(2, static_cast<int>(QString::number(count).size()));
    return QStringLiteral("%1 %2.%3")
        .arg(number, digits, 10, QLatin1Char('0'))
        .arg(cleanTitle(title), extension);
}

std::vector<TrackName> nameTracks(const QStringList& titles, const QString& extension,
                                  const Destination& destination) {
    std::vector<TrackName> names;
    const auto count = static_cast<int>(titles.size());
    for (int i = 0; i < count; ++i) {
        const QString title = cleanTitle(titles[i]);
        TrackName name{trackFileName(i + 1, count, title, extension), TitleTrouble::None, QString()};
        const auto refused = std::find_if(title.begin(), title.end(),
                                          [&](QChar c) { return destination.refusedCharacters.contains(c); });
        const qsizetype bytes = QFile::encodeName(name.fileName).size();
        if (title.isEmpty()) {
            name.trouble = TitleTrouble::Empty;
            name.reason = QCoreApplication::translate("TrackNames", "O título está vazio.");
        } else if (title == QLatin1String(".") || title == QLatin1String("..")) {
            name.trouble = TitleTrouble::OnlyDots;
            name.reason =
                QCoreApplication::translate("TrackNames", "O título não pode ser \".\" nem \"..\".");
        } else if (title.contains(QLatin1Char('/'))) {
            name.trouble = TitleTrouble::Slash;
            name.reason = QCoreApplication::translate(
                "TrackNames", "O título tem \"/\", que não cabe num nome de arquivo.");
        } else if (std::any_of(title.begin(), title.end(), isControl)) {
            name.trouble = TitleTrouble::ControlCharacter;
            name.reason = QCoreApplication::translate(
                "TrackNames", "O título tem um caractere de controle (uma quebra de linha, uma tabulação…).");
        } else if (refused != title.end()) {
            name.trouble = TitleTrouble::RefusedCharacter;
            name.reason =
                QCoreApplication::translate(
                    "TrackNames", "O título tem \"%1\", que esta pasta não aceita em nomes de arquivo.")
                    .arg(*refused);
        } else if (bytes > destination.nameMax) {
            name.trouble = TitleTrouble::TooLong;
            name.reason =
                QCoreApplication::translate(
                    "TrackNames",
                    "O título é longo demais: o nome do arquivo teria %1 bytes, e esta pasta aceita até %2.")
                    .arg(bytes)
                    .arg(destination.nameMax);
        } else if (destination.holds && destination.holds(name.fileName)) {
            name.trouble = TitleTrouble::Exists;
            name.reason =
                QCoreApplication::translate("TrackNames", "Já existe \"%1\" nesta pasta.").arg(name.fileName);
        }
        names.push_back(std::move(name));
    }
    return names;
}

}  // namespace review

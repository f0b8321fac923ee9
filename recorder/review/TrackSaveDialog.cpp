// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/TrackSaveDialog.h"

#include "recorder/review/TimeText.h"
#include "recorder/review/TrackNames.h"

#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace review {

namespace {

using platform::encoding::Format;

const QString kFolderKey = QStringLiteral("tracks/folder");
const QString kFormatKey = QStringLiteral("tracks/format");
const QString kArtistKey = QStringLiteral("tracks/artist");

enum Column { NumberColumn, LengthColumn, TitleColumn, ColumnCount };

const QColor kTroubleBackground(0xff, 0xdc, 0xdc);

// The format's short name: its save filter's name ("FLAC" of "FLAC (*.flac)"), or its key in capitals
// where the filter has none (WAV's is "*.WAV").
QString formatName(Format format) {
    const QString filter = platform::encoding::filterOf(format);
    const qsizetype paren = filter.indexOf(QLatin1String(" ("));
    return paren > 0 ? filter.left(paren) : platform::encoding::keyOf(format).toUpper();
}

// The label's text names the field for a screen reader too.
QLabel* labelFor(const QString& text, QWidget* field) {
    auto* label = new QLabel(text);
    label->setBuddy(field);
    field->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    return label;
}

}  // namespace

// The tracks' table. Enter edits the current track's title (and, while editing, ends the edit)
// instead of pressing the dialog's "Salvar"; Tab leaves the table rather than walking its cells.
class TitleTable final : public QTableWidget {
public:
    using QTableWidget::QTableWidget;

    // A title still being typed counts: "Salvar" pressed by its shortcut takes it as it stands.
    void commitOpenEditor() {
        if (state() != EditingState) {
            return;
        }
        if (QWidget* editor = indexWidget(currentIndex())) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
            QTableWidget::keyPressEvent(event);
            return;
        }
        // The editor's own Enter ends the edit only once the event loop turns again: the title is
        // taken at once, and the key goes no further.
        if (state() == EditingState) {
            commitOpenEditor();
        } else if (currentRow() >= 0) {
            const QModelIndex title = model()->index(currentRow(), TitleColumn);
            setCurrentIndex(title);
            edit(title);
        }
        event->accept();
    }
};

TrackSaveDialog::TrackSaveDialog(TrackSaveSetup setup, QWidget* parent)
    : QDialog(parent),
      setup_(std::move(setup)),
      folder_(new QLineEdit),
      browse_(new QPushButton(tr("Pr&ocurar…"))),
      format_(new QComboBox),
      album_(new QLineEdit),
      artist_(new QLineEdit),
      year_(new QSpinBox),
      table_(new TitleTable(0, ColumnCount)),
      status_(new QLabel),
      save_(new QPushButton(tr("&Salvar"))) {
    setWindowTitle(tr("Salvar faixas"));
    setObjectName(QStringLiteral("TrackSaveDialog"));
    folder_->setObjectName(QStringLiteral("TrackFolder"));
    browse_->setObjectName(QStringLiteral("TrackFolderBrowse"));
    format_->setObjectName(QStringLiteral("TrackFormat"));
    album_->setObjectName(QStringLiteral("TrackAlbum"));
    artist_->setObjectName(QStringLiteral("TrackArtist"));
    year_->setObjectName(QStringLiteral("TrackYear"));
    table_->setObjectName(QStringLiteral("TrackTitles"));
    status_->setObjectName(QStringLiteral("TrackStatus"));
    save_->setObjectName(QStringLiteral("TrackSave"));

    auto* form = new QFormLayout;
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse_);
    form->addRow(labelFor(tr("&Pasta"), folder_), folderRow);
    form->addRow(labelFor(tr("&Formato"), format_), format_);
    form->addRow(labelFor(tr("Álbu&m"), album_), album_);
    form->addRow(labelFor(tr("A&rtista"), artist_), artist_);
    form->addRow(labelFor(tr("A&no"), year_), year_);
    browse_->setToolTip(tr("Escolher a pasta onde salvar as faixas"));

    year_->setRange(1000, 9999);
    year_->setAlignment(Qt::AlignRight);
    year_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    format_->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    table_->setHorizontalHeaderLabels({tr("Nº"), tr("Duração"), tr("Título")});
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(NumberColumn, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(LengthColumn, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(TitleColumn, QHeaderView::Stretch);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setTabKeyNavigation(false);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                            QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    auto* tableLabel = labelFor(tr("Fai&xas"), table_);

    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(save_, QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(tr("Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("TrackCancel"));
    // Enter in a field saves; it never opens the folder chooser.
    browse_->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(tableLabel);
    layout->addWidget(table_, 1);
    layout->addWidget(status_);
    layout->addWidget(buttons);
    // Only now within the dialog: a button made default before has no dialog to be the default of.
    save_->setDefault(true);

    QWidget::setTabOrder(folder_, browse_);
    QWidget::setTabOrder(browse_, format_);
    QWidget::setTabOrder(format_, album_);
    QWidget::setTabOrder(album_, artist_);
    QWidget::setTabOrder(artist_, year_);
    QWidget::setTabOrder(year_, table_);
    QWidget::setTabOrder(table_, save_);
    QWidget::setTabOrder(save_, cancel);

    fill();

    connect(folder_, &QLineEdit::textChanged, this, &TrackSaveDialog::check);
    connect(format_, &QComboBox::currentIndexChanged, this, &TrackSaveDialog::check);
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == TitleColumn) {
            check();
        }
    });
    connect(browse_, &QPushButton::clicked, this, &TrackSaveDialog::browse);
    connect(save_, &QPushButton::clicked, this, &TrackSaveDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    check();
    resize(sizeHint().width() + 120, sizeHint().height());
}

TrackSaveDialog::~TrackSaveDialog() {
    // Closing with a title still open commits it while this dialog is half gone: nothing to check.
    disconnect(table_, nullptr, this, nullptr);
}

void TrackSaveDialog::fill() {
    const QSettings* settings = setup_.settings;
    const auto remembered = [settings](const QString& key) {
        return settings != nullptr ? settings->value(key).toString() : QString();
    };

    const QString folder = remembered(kFolderKey);
    folder_->setText(QDir::toNativeSeparators(folder.isEmpty() ? setup_.folder : folder));

    const std::vector<Format>& formats = platform::encoding::savableFormats();
    for (Format format : formats) {
        format_->addItem(formatName(format), static_cast<int>(format));
    }
    // An archive's tracks are best kept lossless and tagged: FLAC, where nothing else was chosen.
    const Format chosen = platform::encoding::formatOfKey(remembered(kFormatKey)).value_or(Format::Flac);
    const int at = format_->findData(static_cast<int>(chosen));
    format_->setCurrentIndex(at >= 0 ? at : format_->findData(static_cast<int>(Format::Flac)));
    if (format_->currentIndex() < 0) {
        format_->setCurrentIndex(0);
    }

    artist_->setText(remembered(kArtistKey));
    // A take always has a year; a caller without one offers this year's.
    year_->setValue(setup_.year >= year_->minimum() && setup_.year <= year_->maximum()
                        ? setup_.year
                        : QDate::currentDate().year());

    table_->setRowCount(static_cast<int>(setup_.tracks.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const analysis::FrameRange& track = setup_.tracks[static_cast<std::size_t>(row)];
        auto* number = new QTableWidgetItem(QString::number(row + 1));
        auto* length = new QTableWidgetItem(clockText(static_cast<std::uint64_t>(track.to - track.from),
                                                      static_cast<std::uint32_t>(setup_.sampleRate)));
        for (QTableWidgetItem* item : {number, length}) {
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        table_->setItem(row, NumberColumn, number);
        table_->setItem(row, LengthColumn, length);
        table_->setItem(row, TitleColumn, new QTableWidgetItem(tr("Faixa %1").arg(row + 1)));
    }
    if (table_->rowCount() > 0) {
        table_->setCurrentCell(0, TitleColumn);
    }
}

QString TrackSaveDialog::folder() const {
    return folderPath(folder_->text());
}

Format TrackSaveDialog::format() const {
    return static_cast<Format>(format_->currentData().toInt());
}

QStringList TrackSaveDialog::titles() const {
    QStringList titles;
    for (int row = 0; row < table_->rowCount(); ++row) {
        titles << table_->item(row, TitleColumn)->text();
    }
    return titles;
}

void TrackSaveDialog::check() {
    const QString path = folder();
    const FolderTrouble folderFault = folderTrouble(path);
    // Names are only checked against a folder that can take them; the titles' own faults show anyway.
    Destination destination;
    if (folderFault == FolderTrouble::None) {
        destination = destinationAt(path);
    }
    const std::vector<TrackName> names =
        nameTracks(titles(), platform::encoding::extensionOf(format()), destination);

    int firstTrouble = -1;
    int troubles = 0;
    {
        // Marking the rows is no edit of a title.
        const QSignalBlocker quiet(table_);
        for (int row = 0; row < table_->rowCount(); ++row) {
            const TrackName& name = names[static_cast<std::size_t>(row)];
            const bool fault = name.trouble != TitleTrouble::None;
            if (fault) {
                ++troubles;
                firstTrouble = firstTrouble < 0 ? row : firstTrouble;
            }
            QTableWidgetItem* title = table_->item(row, TitleColumn);
            title->setIcon(fault ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
            title->setToolTip(fault ? name.reason : tr("Será salva como \"%1\"").arg(name.fileName));
            for (int column = 0; column < ColumnCount; ++column) {
                QTableWidgetItem* item = table_->item(row, column);
                item->setData(Qt::BackgroundRole, fault ? QVariant(kTroubleBackground) : QVariant());
                item->setData(Qt::ForegroundRole, fault ? QVariant(QColor(Qt::black)) : QVariant());
                item->setData(Qt::AccessibleDescriptionRole, fault ? name.reason : QVariant());
            }
        }
    }

    QString status;
    if (folderFault != FolderTrouble::None) {
        status = describe(folderFault, path);
    } else if (troubles > 0) {
        const QString first = tr("Faixa %1: %2")
                                  .arg(firstTrouble + 1)
                                  .arg(names[static_cast<std::size_t>(firstTrouble)].reason);
        status = troubles == 1   ? first
                 : troubles == 2 ? tr("%1 E mais uma faixa com problema.").arg(first)
                                 : tr("%1 E mais %2 faixas com problemas.").arg(first).arg(troubles - 1);
    } else if (names.empty()) {
        status = tr("Não há faixas a salvar.");
    } else if (names.size() == 1) {
        status =
            tr("Será salvo \"%1\" em \"%2\".").arg(names.front().fileName, QDir::toNativeSeparators(path));
    } else {
        status = tr("Serão salvos %1 arquivos em \"%2\", de \"%3\" a \"%4\".")
                     .arg(names.size())
                     .arg(QDir::toNativeSeparators(path), names.front().fileName, names.back().fileName);
    }
    const bool ready = folderFault == FolderTrouble::None && troubles == 0 && !names.empty();
    status_->setText(status);
    save_->setEnabled(ready);
    save_->setAccessibleDescription(status);
}

bool TrackSaveDialog::event(QEvent* event) {
    // Back from a file manager: the folder may hold other names now.
    if (event->type() == QEvent::WindowActivate) {
        check();
    }
    return QDialog::event(event);
}

void TrackSaveDialog::browse() {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, tr("Pasta das faixas"), folder(), QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) {
        folder_->setText(QDir::toNativeSeparators(chosen));
    }
}

void TrackSaveDialog::save() {
    table_->commitOpenEditor();
    // The folder may have changed since the last look: a name taken meanwhile shows now, not later.
    check();
    if (!save_->isEnabled()) {
        return;
    }
    if (QSettings* settings = setup_.settings) {
        settings->setValue(kFolderKey, folder());
        settings->setValue(kFormatKey, platform::encoding::keyOf(format()));
        settings->setValue(kArtistKey, artist_->text().trimmed());
        settings->sync();
    }
    accept();
}

TrackSaveChoice TrackSaveDialog::choice() const {
    TrackSaveChoice choice;
    choice.folder = folder();
    choice.format = format();
    choice.album = album_->text().trimmed();
    choice.artist = artist_->text().trimmed();
    choice.year = year_->value();
    const QString extension = platform::encoding::extensionOf(choice.format);
    const QStringList typed = titles();
    for (qsizetype i = 0; i < typed.size(); ++i) {
        choice.titles << cleanTitle(typed[i]);
        choice.paths << QDir(choice.folder)
                            .filePath(trackFileName(static_cast<int>(i + 1), static_cast<int>(typed.size()),
                                                    typed[i], extension));
    }
    return choice;
}

QString TrackSaveDialog::status() const {
    return status_->text();
}

}  // namespace review

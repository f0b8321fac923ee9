// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Every text the user meets, through the real windows and Qt's real dialogs, in the language the
// locale asks for: English under English locales, Portuguese (the design's texts) under any other.
// Each row runs this program again under its locale (no system locale needs to be generated: Qt
// reads the locale's name from the environment); the run walks the recorder, the About window,
// each box and the save dialog, and checks that every text is one of the expected language's
// catalogue texts, that none of the other language's sentences slipped in, that Qt's own buttons
// carry Qt's translation, and that no text is wider than its box. The LED library's property sheet
// and errors are checked against its own catalogue the same way.
#include "ScriptedDialogs.h"
#include "PcmFormat.h"

#include <LED/LED.h>
#include <LED/LEDPropertySheet.h>
#include "platform/mixer/PulseMixer.h"
#include "SimulatedWaveIn.h"
#include "recorder/capture/CaptureEngine.h"
#include "recorder/i18n/Language.h"
#include "recorder/recovery/TakeHeader.h"
#include "recorder/wavfile/TakeFile.h"
#include "recorder/window/frmSoundRec.h"

#include <sys/xattr.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <QTranslator>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

namespace {

using platform::wavein::Pacing;
using platform::wavein::SimulatedFaults;
using platform::wavein::SimulatedSource;
using platform::wavein::SimulatedWaveIn;

// ---- The catalogue: every text of the program in both languages, read from its .ts file. ----

struct Catalogue {
    struct Language {
        std::vector<QRegularExpression> sentences;
        // Runs of words only this language has (between the arguments, 12 characters or more).
        QStringList ownWords;
    };
    Language portuguese, english;

    explicit Catalogue(const QString& tsFile) {
        QFile file(tsFile);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << tsFile.toStdString();
        QXmlStreamReader xml(&file);
        QString source;
        while (!xml.atEnd()) {
            if (!xml.readNextStartElement()) {
                continue;
            }
            if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                add(source, xml.readElementText());
            }
        }
        EXPECT_GT(portuguese.sentences.size(), 20u);
    }

    const Language& of(bool english_) const { return english_ ? english : portuguese; }

private:
    static const QRegularExpression& argument() {
        static const QRegularExpression pattern(QStringLiteral("%L?\\d"));
        return pattern;
    }
    static QRegularExpression sentence(const QString& text) {
        QStringList pieces;
        for (const QString& piece : text.split(argument())) {
            pieces << QRegularExpression::escape(piece);
        }
        return QRegularExpression(
            QStringLiteral("^") + pieces.join(QStringLiteral("(.+?)")) + QStringLiteral("$"),
            QRegularExpression::DotMatchesEverythingOption);
    }
    static void addOwnWords(Language& language, const QString& text) {
        for (const QString& piece : text.split(argument())) {
            if (piece.trimmed().size() >= 12) {
                language.ownWords << piece.trimmed();
            }
        }
    }
    void add(const QString& source, const QString& translation) {
        portuguese.sentences.push_back(sentence(source));
        english.sentences.push_back(sentence(translation));
        if (source != translation) {
            addOwnWords(portuguese, source);
            addOwnWords(english, translation);
        }
    }
};

// ---- What a window shows, and whether it fits. ----

QString shownText(QString text) {
    // A mnemonic's ampersand is not drawn.
    return text.replace(QRegularExpression(QStringLiteral("&(?!&)")), QString())
        .replace(QStringLiteral("&&"), QStringLiteral("&"));
}

// Empty when the widget's text fits in its box; otherwise why it does not.
QString overflow(QWidget* widget) {
    const QFontMetrics metrics(widget->font());
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        const QRect room = label->contentsRect();
        const QString text = shownText(label->text());
        if (label->wordWrap()) {
            // Wrapped as the label wraps it, placed as its alignment places it: every line's ink
            // (not the empty room a line keeps below it) inside the box, no line wider than it.
            QTextLayout layout(text, label->font());
            QTextOption option(label->alignment());
            option.setWrapMode(QTextOption::WordWrap);
            layout.setTextOption(option);
            layout.beginLayout();
            struct Ink {
                qreal top, bottom;
            };
            std::vector<Ink> inks;
            qreal height = 0;
            qreal widest = 0;
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(room.width());
                line.setPosition(QPointF(0, height));
                const QRect ink =
                    metrics.tightBoundingRect(text.mid(line.textStart(), line.textLength()).trimmed());
                // The painter puts the baseline on a whole pixel.
                inks.push_back(
                    {height + metrics.ascent() + ink.top(), height + metrics.ascent() + ink.bottom() + 1});
                widest = std::max(widest, line.naturalTextWidth());
                height += line.height();
            }
            layout.endLayout();
            const Qt::Alignment vertical = label->alignment() & Qt::AlignVertical_Mask;
            const qreal offset = vertical == Qt::AlignBottom ? room.height() - height
                                 : vertical == Qt::AlignTop  ? 0
                                                             : (room.height() - height) / 2;
            for (const Ink& ink : inks) {
                if (offset + ink.top < 0 || offset + ink.bottom > room.height() || widest > room.width()) {
                    return QStringLiteral("%1 lines, %2 px high and %3 wide, in %4x%5")
                        .arg(inks.size())
                        .arg(height)
                        .arg(widest)
                        .arg(room.width())
                        .arg(room.height());
                }
            }
            return QString();
        }
        const int width = metrics.horizontalAdvance(text);
        return width > room.width() ? QStringLiteral("needs %1 px, has %2").arg(width).arg(room.width())
                                    : QString();
    }
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (button == nullptr) {
        return QString();
    }
    const int width = metrics.horizontalAdvance(shownText(button->text()));
    int room = button->width();
    if (qobject_cast<QCheckBox*>(button) != nullptr || qobject_cast<QRadioButton*>(button) != nullptr) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
        room = button->style()
                   ->subElementRect(radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents,
                                    &option, button)
                   .width();
    } else {
        room -= button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
    }
    return width > room ? QStringLiteral("needs %1 px, has %2").arg(width).arg(room) : QString();
}

// Qt's English for a standard button, as Qt's translations know it.
const char* qtButtonText(QDialogButtonBox::StandardButton button) {
    switch (button) {
        case QDialogButtonBox::Ok:
            return "OK";
        case QDialogButtonBox::Cancel:
            return "Cancel";
        case QDialogButtonBox::Apply:
            return "Apply";
        case QDialogButtonBox::Close:
            return "Close";
        case QDialogButtonBox::Save:
            return "Save";
        case QDialogButtonBox::Yes:
            return "&Yes";
        case QDialogButtonBox::No:
            return "&No";
        default:
            ADD_FAILURE() << "a standard button this test does not know: " << button;
            return "";
    }
}

// ---- The run under one locale. ----

class LanguageRun {
public:
    explicit LanguageRun(bool english,
                         const QString& tsFile = QStringLiteral("/recorder/translations/tolvane_en.ts"))
        : english_(english), catalogue_(qEnvironmentVariable("TOLVANE_TEST_SOURCE_DIR") + tsFile) {
        // What Qt's own dialogs must say: Qt's English, or Qt's Portuguese translation.
        if (!english_) {
            EXPECT_TRUE(qtPortuguese_.load(QStringLiteral("qtbase_pt_BR"),
                                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
                << "qt6-translations-l10n is not installed";
        }
    }

    QString qt(const char* context, const char* text) const {
        const QString translated = english_ ? QString() : qtPortuguese_.translate(context, text);
        return translated.isEmpty() ? QString::fromUtf8(text) : translated;
    }

    // One of our texts, as shown in `where`: each paragraph a sentence of the expected language.
    void checkOurs(const QString& where, const QString& text) {
        if (text.isEmpty() || !text.contains(QRegularExpression(QStringLiteral("[[:alpha:]]"))) ||
            text == QLatin1String("Tolvane")) {
            return;
        }
        ++checked_;
        static const QRegularExpression takeList(
            QStringLiteral("^(\\S+\\.WAV \\(\\d+:\\d\\d:\\d\\d\\)\\n?)+$"));
        for (const QString& paragraph : text.split(QStringLiteral("\n\n"))) {
            if (takeList.match(paragraph).hasMatch()) {
                continue;
            }
            const auto& sentences = catalogue_.of(english_).sentences;
            const bool known =
                std::any_of(sentences.begin(), sentences.end(),
                            [&](const QRegularExpression& s) { return s.match(paragraph).hasMatch(); });
            EXPECT_TRUE(known) << where.toStdString() << ": \"" << paragraph.toStdString() << "\" is not a "
                               << (english_ ? "English" : "Portuguese") << " text of the program";
        }
        for (const QString& words : catalogue_.of(!english_).ownWords) {
            EXPECT_FALSE(text.contains(words))
                << where.toStdString() << ": \"" << text.toStdString() << "\" holds the other language's \""
                << words.toStdString() << "\"";
        }
    }

    void checkFits(const QString& where, QWidget* widget) {
        const QString why = overflow(widget);
        EXPECT_TRUE(why.isEmpty()) << where.toStdString() << " " << widget->objectName().toStdString()
                                   << " \"" << widget->property("text").toString().toStdString()
                                   << "\" is wider than its box: " << why.toStdString();
    }

    // Every visible text of a window of ours: captions, labels, the names assistive technology reads.
    void checkWindow(const QString& where, QWidget* window) {
        checkOurs(where + QStringLiteral(" title"), window->windowTitle());
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets.prepend(window);
        for (QWidget* widget : widgets) {
            if (widget != window && !widget->isVisibleTo(window)) {
                continue;
            }
            const QString name = where + QLatin1Char(' ') + widget->objectName();
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                checkOurs(name, label->text());
                checkFits(where, label);
            } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                checkFits(where, button);
                // A dialog's standard buttons are Qt's, in Qt's translation.
                auto* box = qobject_cast<QDialogButtonBox*>(button->parentWidget());
                const auto standard =
                    box != nullptr ? box->standardButton(button) : QDialogButtonBox::NoButton;
                if (standard == QDialogButtonBox::NoButton) {
                    checkOurs(name, button->text());
                } else {
                    EXPECT_EQ(button->text().toStdString(),
                              qt("QPlatformTheme", qtButtonText(standard)).toStdString())
                        << name.toStdString();
                }
            }
            checkOurs(name + QStringLiteral(" (accessible name)"), widget->accessibleName());
            checkOurs(name + QStringLiteral(" (accessible description)"), widget->accessibleDescription());
        }
    }

    // A message box: our title and text, Qt's buttons, everything inside its box.
    void checkBox(QMessageBox* box) {
        const QString where = QStringLiteral("box \"%1\"").arg(box->text().left(40));
        checkOurs(where + QStringLiteral(" title"), box->windowTitle());
        checkOurs(where, box->text());
        const std::pair<QMessageBox::StandardButton, const char*> standard[] = {
            {QMessageBox::Ok, "OK"},
            {QMessageBox::Yes, "&Yes"},
            {QMessageBox::No, "&No"},
            {QMessageBox::Cancel, "Cancel"}};
        for (const auto& [which, english] : standard) {
            if (QAbstractButton* button = box->button(which)) {
                EXPECT_EQ(button->text().toStdString(), qt("QPlatformTheme", english).toStdString())
                    << where.toStdString();
                EXPECT_LE(button->sizeHint().width(), button->width()) << where.toStdString();
            }
        }
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->isVisibleTo(box)) {
                checkFits(where, label);
            }
        }
        boxes << box->text();
    }

    void checkFileDialog(QFileDialog* dialog) {
        checkOurs(QStringLiteral("save dialog title"), dialog->windowTitle());
        auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        ASSERT_NE(buttons, nullptr);
        EXPECT_EQ((buttons->button(QDialogButtonBox::Save) ? buttons->button(QDialogButtonBox::Save)->text()
                                                           : buttons->buttons().constFirst()->text())
                      .toStdString(),
                  qt("QFileDialog", "&Save").toStdString());
        EXPECT_EQ((buttons->button(QDialogButtonBox::Cancel)->text()).toStdString(),
                  qt("QPlatformTheme", "Cancel").toStdString());
        const std::pair<const char*, const char*> labels[] = {{"lookInLabel", "Look in:"},
                                                              {"fileNameLabel", "File &name:"},
                                                              {"fileTypeLabel", "Files of type:"}};
        for (const auto& [name, english] : labels) {
            auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
            ASSERT_NE(label, nullptr) << name;
            EXPECT_EQ(label->text().toStdString(), qt("QFileDialog", english).toStdString()) << name;
        }
        for (QAbstractButton* button : buttons->buttons()) {
            EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString();
        }
        ++fileDialogs;
    }

    bool english() const { return english_; }
    int checked() const { return checked_; }
    QStringList boxes;
    int fileDialogs = 0;

private:
    bool english_;
    Catalogue catalogue_;
    QTranslator qtPortuguese_;
    int checked_ = 0;
};

// Meets each modal window as it opens (boxes run their own event loops), checks it and answers it.
class ModalHandler {
public:
    ModalHandler(LanguageRun& run) : run_(run) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start();
    }
    std::deque<QMessageBox::StandardButton> answers;
    std::deque<QString> fileNames;
    std::function<void(QDialog*)> onOtherDialog;

private:
    void look() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || seen_.contains(modal)) {
            return;
        }
        seen_ << modal;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            run_.checkBox(box);
            QMessageBox::StandardButton answer = QMessageBox::Ok;
            if (box->button(QMessageBox::Yes) != nullptr) {
                EXPECT_FALSE(answers.empty()) << "unexpected question: " << box->text().toStdString();
                answer = answers.empty() ? QMessageBox::Cancel : answers.front();
                if (!answers.empty()) {
                    answers.pop_front();
                }
            }
            box->button(answer)->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            run_.checkFileDialog(dialog);
            if (fileNames.empty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(fileNames.front());
            fileNames.pop_front();
            static_cast<QDialog*>(dialog)->accept();
        } else if (auto* other = qobject_cast<QDialog*>(modal); other != nullptr && onOtherDialog) {
            onOtherDialog(other);
        }
    }

    LanguageRun& run_;
    QTimer timer_;
    QList<QPointer<QWidget>> seen_;
};

bool waitFor(const std::function<bool()>& done, int milliseconds = 15000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds) {
        QTest::qWait(10);
    }
    return done();
}

// A take the program was killed in the middle of: complete on disk, but still marked as recording.
void leaveInterruptedTake(const QString& path) {
    testsupport::ScriptedDialogs quiet;
    {
        basSoundRec_2::TakeFile take(quiet, QStringLiteral("Tolvane"));
        ASSERT_EQ(take.Create(path), path);
        ASSERT_TRUE(take.WriteHeader(testsupport::pcm16()));
        const std::vector<std::byte> audio(176400 * 2);
        ASSERT_TRUE(take.Append(audio.data(), audio.size()).ok());
    }
    ASSERT_EQ(::setxattr(QFile::encodeName(path).constData(), recovery::kRecordingAttribute, "1", 1, 0), 0);
}

// The child's work: every window and box of the recorder, in the order a user meets them.
void walkEveryWindow(bool english) {
    ASSERT_EQ(i18n::installTranslations(), english ? i18n::Language::English : i18n::Language::Portuguese);
    LanguageRun run(english);
    ModalHandler handler(run);

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    leaveInterruptedTake(folder.filePath(QStringLiteral("01022025103000AM.WAV")));
    // No sound server in the tests' environment: the mixer cannot be opened, and says so.
    auto mixer = platform::mixer::makePulseAudioMixer(QStringLiteral("Tolvane tests"));
    // The source dies three seconds (of 44100 Hz mono) in: the server-loss box.
    SimulatedWaveIn waveIn(SimulatedSource::sine(), Pacing::RealTime, SimulatedFaults::dieAfter(88200 * 3));
    frmSoundRec window({.waveIn = waveIn, .programFolder = folder.path(), .mixer = mixer.get()});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The mixer's box and the recovered take's box.
    ASSERT_TRUE(waitFor([&] { return run.boxes.size() >= 2; })) << run.boxes.join('\n').toStdString();
    run.checkWindow(QStringLiteral("recorder at rest"), &window);
    if (!english) {
        // The design's own words.
        EXPECT_EQ(window.Check1()->text(), QStringLiteral("Iniciar Gravação"));
        EXPECT_EQ(window.cmdSave()->text(), QStringLiteral("Savar Com..."));
    } else {
        EXPECT_NE(window.Check1()->text(), QStringLiteral("Iniciar Gravação"));
    }

    // A new take over the recovered one: the question, then a take that falls behind and loses its source.
    // In mono the ten buffers hold a second; with the backlog's fifth, a stall of 1.6 s loses 0.4 s.
    waveIn.setBacklog(std::chrono::milliseconds(200));
    window.chkStereo()->setChecked(false);
    handler.answers = {QMessageBox::Yes};
    window.Check1()->click();
    ASSERT_TRUE(window.captureEngine().isRecording());
    run.checkWindow(QStringLiteral("recorder recording"), &window);
    QTest::qWait(200);
    // The window falls behind: the device drops what the ten buffers cannot hold.
    std::this_thread::sleep_for(std::chrono::milliseconds(1600));
    ASSERT_TRUE(waitFor([&] { return !window.captureEngine().isRecording() && run.boxes.size() >= 4; }))
        << run.boxes.join('\n').toStdString();
    // Both ends of the take in one box: the reason, and what was lost where.
    EXPECT_EQ(run.boxes[3].count(QStringLiteral("\n\n")), 1) << run.boxes[3].toStdString();

    // Saving over a file that exists is refused, and the box says why.
    const QString existing = folder.filePath(QStringLiteral("kept.wav"));
    QFile(existing).open(QIODevice::WriteOnly);
    handler.fileNames = {existing};
    window.cmdSave()->click();
    ASSERT_TRUE(waitFor([&] { return run.boxes.size() >= 5; })) << run.boxes.join('\n').toStdString();

    // The progress box of a long save: Qt's Cancel.
    {
        auto dialogs = platform::makeWidgetDialogs(&window);
        auto progress = dialogs->progress(QStringLiteral("…"), QStringLiteral("Tolvane"), 100);
        auto* box = window.findChild<QProgressDialog*>();
        ASSERT_NE(box, nullptr);
        box->show();
        auto* cancel = box->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text().toStdString(), run.qt("QProgressDialog", "Cancel").toStdString());
        run.checkFits(QStringLiteral("progress box"), cancel);
    }

    // Leaving with the take unsaved asks; Cancel stays.
    handler.answers = {QMessageBox::Cancel};
    window.close();
    ASSERT_TRUE(waitFor([&] { return run.boxes.size() >= 6; }));
    ASSERT_TRUE(window.isVisible());

    // A take that went away before its save.
    QFile::remove(window.takeFileName);
    handler.fileNames = {folder.filePath(QStringLiteral("novo"))};
    window.cmdSave()->click();
    ASSERT_TRUE(waitFor([&] { return run.boxes.size() >= 7; }));

    // The About window.
    bool aboutSeen = false;
    handler.onOtherDialog = [&](QDialog* about) {
        run.checkWindow(QStringLiteral("About"), about);
        aboutSeen = true;
        about->reject();
    };
    window.Command3()->click();
    EXPECT_TRUE(aboutSeen);
    if (!english) {
        EXPECT_TRUE(run.boxes.contains(QStringLiteral("Deseja sair sem Gravar o arquivo?")));
    }

    // A take that cannot be created: its folder is gone.
    handler.answers = {QMessageBox::Yes};
    ASSERT_TRUE(folder.remove());
    window.Check1()->click();
    ASSERT_TRUE(waitFor([&] { return run.boxes.size() >= 9; })) << run.boxes.join('\n').toStdString();
    EXPECT_FALSE(window.captureEngine().isRecording());
    run.checkWindow(QStringLiteral("recorder after a failed start"), &window);

    // The LED library picked the same language by itself: its property sheet and its errors.
    {
        LanguageRun led(english, QStringLiteral("/led/translations/led_en.ts"));
        LED digit;
        LEDPropertySheet sheet({&digit});
        sheet.show();
        led.checkWindow(QStringLiteral("LED property sheet"), &sheet);
        led.checkOurs(QStringLiteral("LED error"), LED::errorDescription(LED::LEDOverFlow));
        led.checkOurs(QStringLiteral("LED error"), LED::errorDescription(LED::LEDInvalidMask));
        EXPECT_GT(led.checked(), 5);
    }

    EXPECT_EQ(run.fileDialogs, 2);
    EXPECT_EQ(run.boxes.size(), 9) << run.boxes.join('\n').toStdString();
    EXPECT_GT(run.checked(), 60);
    std::printf("%d texts checked; the boxes:\n%s\n", run.checked(),
                qPrintable(run.boxes.join(QStringLiteral("\n---\n"))));
    // Nothing asks any more on the way out.
    window.endSession();
    window.close();
}

}  // namespace

// Run by the table below in a process of its own, under one locale.
TEST(TranslatedWindowsRun, UnderThisLocale) {
    const QString language = qEnvironmentVariable("TOLVANE_TEST_LANGUAGE");
    if (language.isEmpty()) {
        GTEST_SKIP() << "run by TranslatedWindows, under each locale";
    }
    walkEveryWindow(language == QLatin1String("en"));
}

struct LocaleRow {
    const char* locale;
    const char* language;
};

class TranslatedWindows : public ::testing::TestWithParam<LocaleRow> {};

TEST_P(TranslatedWindows, EveryTextInTheLocalesLanguage) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        environment.remove(QString::fromLatin1(name));
    }
    environment.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(GetParam().locale));
    environment.insert(QStringLiteral("TOLVANE_TEST_LANGUAGE"), QString::fromLatin1(GetParam().language));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=TranslatedWindowsRun.*")});
    ASSERT_TRUE(child.waitForFinished(180000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Locales, TranslatedWindows,
    ::testing::Values(LocaleRow{"pt_BR.UTF-8", "pt"}, LocaleRow{"en_US.UTF-8", "en"},
                      LocaleRow{"de_DE.UTF-8", "pt"}, LocaleRow{"C", "pt"}),
    [](const auto& info) {
        return std::string(info.param.locale).substr(0, std::string(info.param.locale).find('.'));
    });

// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/InputMenu.h"

#include "platform/dialogs/Dialogs.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QSettings>

#include <algorithm>
#include <optional>

namespace input {

namespace {

using platform::mixer::SourceEntry;

const SourceEntry* find(const std::vector<SourceEntry>& sources, const QString& name) {
    const auto it =
        std::find_if(sources.begin(), sources.end(), [&](const SourceEntry& s) { return s.name == name; });
    return it != sources.end() ? &*it : nullptr;
}

class ShiftF10 : public QObject {
public:
    ShiftF10(QObject* parent, std::function<void()> open) : QObject(parent), open_(std::move(open)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
                open_();
                return true;
            }
        }
        return false;
    }

private:
    std::function<void()> open_;
};

// Where the chosen input is kept: the source's name, empty for the server's default.
const QString kInputSetting = QStringLiteral("input/source");

// The window's texts about its input are translated with the window.
QString windowText(const char* text) {
    return QCoreApplication::translate("frmSoundRec", text);
}

QString entryText(const SourceEntry& source) {
    return source.isMonitor()
               ? QCoreApplication::translate("InputMenu", "Som do computador: %1").arg(source.monitorOf)
               : source.description;
}

}  // namespace

void fillInputMenu(QMenu& menu, const std::vector<SourceEntry>& sources, const QString& chosen, bool locked) {
    // The highlighted choice stays highlighted: the server tells of many changes (a volume, an
    // output waking) that leave the list as it was, and the keyboard must not lose its place.
    const QAction* active = menu.activeAction();
    const std::optional<QString> highlighted =
        active != nullptr && active->isCheckable() ? std::optional(active->data().toString()) : std::nullopt;
    menu.clear();
    const QString title = QCoreApplication::translate("InputMenu", "Entrada de áudio");
    menu.setTitle(title);
    menu.setAccessibleName(title);
    menu.addSection(title);
    auto* group = new QActionGroup(&menu);
    group->setExclusive(true);
    const auto add = [&](QString text, const QString& name) {
        // Shown as the server describes it: an "&" in a description is no keyboard mnemonic.
        QAction* action = menu.addAction(text.replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setData(name);
        action->setCheckable(true);
        action->setChecked(name == chosen);
        action->setEnabled(!locked);
        group->addAction(action);
        if (highlighted == name) {
            menu.setActiveAction(action);
        }
    };
    add(QCoreApplication::translate("InputMenu", "Padrão do sistema"), QString());
    for (const SourceEntry& source : sources) {
        if (!source.isMonitor()) {
            add(entryText(source), source.name);
        }
    }
    if (!chosen.isEmpty() && find(sources, chosen) == nullptr) {
        add(QCoreApplication::translate("InputMenu", "%1 (não disponível)").arg(chosen), chosen);
    }
    bool separated = false;
    for (const SourceEntry& source : sources) {
        if (source.isMonitor()) {
            if (!std::exchange(separated, true)) {
                menu.addSeparator();
            }
            add(entryText(source), source.name);
        }
    }
    if (locked) {
        menu.addSeparator();
        menu.addAction(QCoreApplication::translate("InputMenu", "A entrada muda depois da gravação"))
            ->setEnabled(false);
    }
}

void openOnShiftF10(QWidget& widget, std::function<void()> open) {
    widget.installEventFilter(new ShiftF10(&widget, std::move(open)));
}

QString describeInput(const std::vector<SourceEntry>& sources, const QString& defaultSource,
                      const QString& chosen) {
    if (chosen.isEmpty()) {
        const SourceEntry* current = find(sources, defaultSource);
        return current != nullptr ? QCoreApplication::translate("InputMenu", "Padrão do sistema (%1)")
                                        .arg(entryText(*current))
                                  : QCoreApplication::translate("InputMenu", "Padrão do sistema");
    }
    const SourceEntry* current = find(sources, chosen);
    return current != nullptr ? entryText(*current) : chosen;
}

InputChoice::InputChoice(platform::mixer::SourceList& sources, QSettings* settings, const QString& forThisRun,
                         platform::Dialogs& dialogs, QString title, std::function<bool()> locked,
                         QWidget& window, const Places& places)
    : QObject(&window),
      sources_(sources),
      settings_(settings),
      dialogs_(dialogs),
      title_(std::move(title)),
      locked_(std::move(locked)),
      window_(window),
      named_(places.named) {
    // A right click, the context-menu key or Shift+F10 on what is about the input.
    for (QWidget* about : places.openOn) {
        about->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(about, &QWidget::customContextMenuRequested, this,
                [this, about](QPoint at) { showMenu(about, at); });
    }
    if (QWidget* keyboard = places.keyboard) {
        openOnShiftF10(*keyboard, [this, keyboard] { showMenu(keyboard, keyboard->rect().center()); });
        keyboard->setAccessibleDescription(
            windowText(QT_TRANSLATE_NOOP("frmSoundRec", "Menu de contexto: entrada de áudio")));
    }
    QString initial = forThisRun;
    if (initial.isEmpty() && settings_ != nullptr) {
        initial = settings_->value(kInputSetting).toString();
    }
    sources_.choose(initial);
    connect(&sources_, &platform::mixer::SourceList::changed, this, &InputChoice::sourcesChanged);
    sourcesChanged();
}

QMenu* InputChoice::menu() const {
    return menu_;
}

QString InputChoice::chosen() const {
    return sources_.chosen();
}

QString InputChoice::described() const {
    const QString name = chosen();
    const auto sources = sources_.sources();
    // A source that went away is still named as the user knew it.
    if (!name.isEmpty() && known_.contains(name) &&
        std::none_of(sources.begin(), sources.end(),
                     [&](const auto& source) { return source.name == name; })) {
        return known_.value(name);
    }
    return describeInput(sources, sources_.defaultSource(), name);
}

bool InputChoice::unplugged() const {
    return !chosen().isEmpty() && sources_.answering();
}

void InputChoice::sourcesChanged() {
    for (const auto& source : sources_.sources()) {
        known_.insert(source.name, describeInput({source}, {}, source.name));
    }
    const QString named = windowText(QT_TRANSLATE_NOOP("frmSoundRec", "Entrada: %1")).arg(described());
    for (QWidget* widget : named_) {
        widget->setToolTip(named);
        widget->setAccessibleDescription(named);
    }
    // An open menu follows the sources as they come and go.
    if (menu_) {
        fillInputMenu(*menu_, sources_.sources(), chosen(), locked_());
    }
}

void InputChoice::showMenu(QWidget* over, QPoint at) {
    QMenu menu(&window_);
    menu_ = &menu;
    fillInputMenu(menu, sources_.sources(), chosen(), locked_());
    // Chosen with the mouse, the keyboard or an assistive technology's action alike.
    connect(&menu, &QMenu::triggered, this, [this, &menu](QAction* picked) {
        const QString name = picked->data().toString();
        const bool choice = picked->isCheckable();
        menu_ = nullptr;
        menu.close();
        // A take that started while the menu was open keeps its input.
        if (choice && !locked_()) {
            choose(name);
        }
    });
    menu.exec(over->mapToGlobal(at));
    menu_ = nullptr;
}

void InputChoice::choose(const QString& name) {
    sources_.choose(name);
    if (settings_ != nullptr) {
        settings_->setValue(kInputSetting, name);
        settings_->sync();
    }
    sourcesChanged();
}

bool InputChoice::present() {
    if (available()) {
        return true;
    }
    tellMissing();
    return false;
}

bool InputChoice::available() const {
    const QString name = chosen();
    if (name.isEmpty() || !sources_.answering()) {
        // The default, or no server: the capture device says what is wrong, as ever.
        return true;
    }
    const auto sources = sources_.sources();
    // Not yet heard from the server: the device decides.
    return sources.empty() || std::any_of(sources.begin(), sources.end(),
                                          [&](const auto& source) { return source.name == name; });
}

void InputChoice::tellMissing() {
    dialogs_.message(
        windowText(QT_TRANSLATE_NOOP("frmSoundRec",
                                     "A entrada escolhida, \"%1\", não está disponível. Nada foi "
                                     "gravado.\n\nEscolha outra entrada no menu de contexto do nível "
                                     "de gravação."))
            .arg(described()),
        title_);
}

}  // namespace input

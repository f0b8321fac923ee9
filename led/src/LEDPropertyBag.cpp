// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

#include <LED/LED.h>

#include <algorithm>
#include <utility>
#include <vector>

LEDPropertyBag::LEDPropertyBag() = default;
LEDPropertyBag::~LEDPropertyBag() = default;

class LEDMemoryPropertyBagPrivate {
public:
    using Entries = std::vector<std::pair<QString, QVariant>>;

    Entries::iterator find(const QString& key) {
        return std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == key; });
    }
    Entries::const_iterator find(const QString& key) const {
        return std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == key; });
    }

    Entries entries;
};

LEDMemoryPropertyBag::LEDMemoryPropertyBag() : d(std::make_unique<LEDMemoryPropertyBagPrivate>()) {}
LEDMemoryPropertyBag::~LEDMemoryPropertyBag() = default;

QVariant LEDMemoryPropertyBag::read(const QString& key, const QVariant& defaultValue) const {
    const auto it = d->find(key);
    return it == d->entries.end() ? defaultValue : it->second;
}

void LEDMemoryPropertyBag::write(const QString& key, const QVariant& value, const QVariant& defaultValue) {
    // QVariant compares numbers by value across types, so a qint16 0 equals an int 0 default.
    if (value == defaultValue) {
        remove(key);
        return;
    }
    set(key, value);
}

void LEDMemoryPropertyBag::set(const QString& key, const QVariant& value) {
    const auto it = d->find(key);
    if (it != d->entries.end()) {
        it->second = value;
    } else {
        d->entries.emplace_back(key, value);
    }
}

void LEDMemoryPropertyBag::remove(const QString& key) {
    const auto it = d->find(key);
    if (it != d->entries.end()) {
        d->entries.erase(it);
    }
}

void LEDMemoryPropertyBag::clear() {
    d->entries.clear();
}

bool LEDMemoryPropertyBag::contains(const QString& key) const {
    return d->find(key) != d->entries.end();
}

QVariant LEDMemoryPropertyBag::value(const QString& key) const {
    return read(key, QVariant());
}

QStringList LEDMemoryPropertyBag::keys() const {
    QStringList out;
    for (const auto& e : d->entries) {
        out << e.first;
    }
    return out;
}

bool LEDMemoryPropertyBag::isEmpty() const {
    return d->entries.empty();
}

#include <LED/LED.h>

#include <algorithm>

PropertyBag::~PropertyBag() = default;

MemoryPropertyBag::MemoryPropertyBag() = default;
MemoryPropertyBag::~MemoryPropertyBag() = default;

namespace {
template <typename Entries>
auto findKey(Entries& entries, const QString& key) {
    return std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == key; });
}
}  // namespace

QVariant MemoryPropertyBag::read(const QString& key, const QVariant& defaultValue) const {
    const auto it = findKey(entries_, key);
    return it == entries_.end() ? defaultValue : it->second;
}

void MemoryPropertyBag::write(const QString& key, const QVariant& value, const QVariant& defaultValue) {
    // QVariant compares numbers by value across types, so a qint16 0 equals an int 0 default.
    if (value == defaultValue) {
        remove(key);
        return;
    }
    set(key, value);
}

void MemoryPropertyBag::set(const QString& key, const QVariant& value) {
    const auto it = findKey(entries_, key);
    if (it != entries_.end()) {
        it->second = value;
    } else {
        entries_.emplace_back(key, value);
    }
}

void MemoryPropertyBag::remove(const QString& key) {
    const auto it = findKey(entries_, key);
    if (it != entries_.end()) {
        entries_.erase(it);
    }
}

void MemoryPropertyBag::clear() {
    entries_.clear();
}

bool MemoryPropertyBag::contains(const QString& key) const {
    return findKey(entries_, key) != entries_.end();
}

QVariant MemoryPropertyBag::value(const QString& key) const {
    return read(key, QVariant());
}

QStringList MemoryPropertyBag::keys() const {
    QStringList out;
    for (const auto& e : entries_) {
        out << e.first;
    }
    return out;
}

#include "log/core/crash_list.h"

#include <algorithm>

namespace zel {

namespace {

bool before(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

} // namespace

std::int32_t TCrashList::count() const {
    std::scoped_lock guard(Flock);
    return static_cast<std::int32_t>(Flines.size());
}

std::int32_t TCrashList::index_of(const QString& line) const {
    std::scoped_lock guard(Flock);
    const std::size_t at = position(line);
    return holds(at, line) ? static_cast<std::int32_t>(at) : -1;
}

std::int32_t TCrashList::index_of_storage(const ILogStorage* storage) const {
    std::scoped_lock guard(Flock);
    if (storage == nullptr)
        return -1;
    for (std::size_t i = 0; i < Flines.size(); ++i)
        if (Flines[i].storage.get() == storage)
            return static_cast<std::int32_t>(i);
    return -1;
}

std::int32_t TCrashList::add(const QString& line) {
    std::scoped_lock guard(Flock);
    const std::size_t at = position(line);
    if (!holds(at, line))
        Flines.insert(Flines.begin() + static_cast<std::ptrdiff_t>(at), TLine{line, nullptr});
    return static_cast<std::int32_t>(at);
}

void TCrashList::attach(std::int32_t index, const ILogStoragePtr& storage) {
    std::scoped_lock guard(Flock);
    if (index >= 0 && static_cast<std::size_t>(index) < Flines.size())
        Flines[static_cast<std::size_t>(index)].storage = storage;
}

void TCrashList::remove(std::int32_t index) {
    ILogStoragePtr released; // let go of after the lock (see release_storages)
    std::scoped_lock guard(Flock);
    if (index >= 0 && static_cast<std::size_t>(index) < Flines.size()) {
        released = std::move(Flines[static_cast<std::size_t>(index)].storage);
        Flines.erase(Flines.begin() + index);
    }
}

TCrashList::TLine TCrashList::line(std::int32_t index) const {
    std::scoped_lock guard(Flock);
    if (index < 0 || static_cast<std::size_t>(index) >= Flines.size())
        return {};
    return Flines[static_cast<std::size_t>(index)];
}

QStringList TCrashList::lines() const {
    std::scoped_lock guard(Flock);
    QStringList result;
    for (const TLine& entry : Flines)
        result.append(entry.text);
    return result;
}

QStringList TCrashList::detached_lines() const {
    std::scoped_lock guard(Flock);
    QStringList result;
    for (const TLine& entry : Flines)
        if (!entry.storage)
            result.append(entry.text);
    return result;
}

// A storage let go of for the last time unlists itself, which changes this list: the
// references are dropped after the lines are settled and the lock is released.
void TCrashList::release_storages() {
    std::vector<ILogStoragePtr> released;
    std::scoped_lock guard(Flock);
    for (TLine& entry : Flines)
        if (entry.storage)
            released.push_back(std::move(entry.storage));
}

void TCrashList::clear() {
    std::vector<TLine> released;
    std::scoped_lock guard(Flock);
    released.swap(Flines);
}

std::size_t TCrashList::position(const QString& line) const {
    const auto at =
        std::lower_bound(Flines.begin(), Flines.end(), line,
                         [](const TLine& a, const QString& b) { return before(a.text, b); });
    return static_cast<std::size_t>(at - Flines.begin());
}

bool TCrashList::holds(std::size_t at, const QString& line) const {
    return at < Flines.size() && Flines[at].text.compare(line, Qt::CaseInsensitive) == 0;
}

} // namespace zel

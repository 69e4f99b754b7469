#pragma once

#include "log/core/log_vocabulary.h"
#include "log/viewer/log_colors.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace zel {

// What a collection of display options tells its owner (the log viewer) about changes.
class IDisplayOptionsOwner {
public:
    virtual ~IDisplayOptionsOwner() = default;
    // A colour or an image changed: the rows are painted again.
    virtual void DisplayOptionsRepaint() = 0;
    // Rows of `kind` are now shown or hidden.
    virtual void DisplayOptionsVisibilityChanged(Tlog_kind kind, bool visible) = 0;
};

// An owned list of items of class T that remembers one selected item. T is constructed with the
// collection, which already counts the new item.
template <class T>
class TGenericCollection {
public:
    explicit TGenericCollection(IDisplayOptionsOwner* owner)
        : FOwner(owner) {}
    TGenericCollection(const TGenericCollection&) = delete;
    TGenericCollection& operator=(const TGenericCollection&) = delete;
    virtual ~TGenericCollection() = default;

    std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }
    // The item at `index`, null outside the collection.
    T* Items(std::int32_t index) const {
        return index >= 0 && index < Count() ? FItems[static_cast<std::size_t>(index)].get()
                                             : nullptr;
    }
    // Copies `value` into the stored item at `index` with the item's Assign; nothing outside.
    void SetItem(std::int32_t index, const T& value) {
        if (T* item = Items(index))
            item->Assign(value);
    }
    T* First() const { return Items(0); }
    T* Last() const { return Items(Count() - 1); }
    T* Add() { return Insert(Count()); }
    T* Insert(std::int32_t index) {
        const auto at = static_cast<std::size_t>(std::clamp(index, 0, Count()));
        FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(at), nullptr);
        FItems[at] = std::make_unique<T>(this);
        return FItems[at].get();
    }
    void Clear() {
        FItems.clear();
        FSelected = nullptr;
    }
    T* Selected() const { return FSelected; }
    void set_Selected(T* value) { FSelected = value; }
    IDisplayOptionsOwner* Owner() const { return FOwner; }

private:
    IDisplayOptionsOwner* const FOwner;
    std::vector<std::unique_ptr<T>> FItems;
    T* FSelected = nullptr;
};

// How rows of one log kind are shown: background colour, image, Event column template, and
// whether the rows are enabled and visible.
class TZelLogEntryDisplayOptions {
public:
    // The kind is the item's index in `Collection` (counting this item), or LK_INFO without one;
    // the other values are the kind's defaults.
    explicit TZelLogEntryDisplayOptions(TGenericCollection<TZelLogEntryDisplayOptions>* Collection);

    TColor Color() const { return FColor; }
    void set_Color(TColor value);
    Tlog_kind LogKind() const { return FLogKind; }
    bool Visible() const { return FVisible; }
    void set_Visible(bool value);
    bool Enabled() const { return FEnabled; }
    void set_Enabled(bool value) { FEnabled = value; }
    const QString& TextFormat() const { return FTextFormat; }
    void set_TextFormat(const QString& value) { FTextFormat = value; }
    std::int32_t ImageIndex() const { return FImageIndex; }
    void set_ImageIndex(std::int32_t value);

    // Copies the colour and the kind into `Dest`, without repainting.
    void AssignTo(TZelLogEntryDisplayOptions& Dest) const;
    void Assign(const TZelLogEntryDisplayOptions& Source) { Source.AssignTo(*this); }

private:
    IDisplayOptionsOwner* owner() const;

    TGenericCollection<TZelLogEntryDisplayOptions>* const FCollection;
    TColor FColor;
    Tlog_kind FLogKind;
    bool FVisible = true;
    bool FEnabled = true;
    QString FTextFormat;
    std::int32_t FImageIndex = -1;
};

// The per-kind options of a log viewer: item i describes log kind i.
class TZelLogEntryDisplayOptionsCollection : public TGenericCollection<TZelLogEntryDisplayOptions> {
public:
    // Empty; the viewer adds one item per kind.
    explicit TZelLogEntryDisplayOptionsCollection(IDisplayOptionsOwner* owner);

    // The options of `Index` with bit 7 ignored; null when there are none.
    TZelLogEntryDisplayOptions* FindByKind(std::uint32_t Index) const {
        return Items(static_cast<std::int32_t>(Index & 127u));
    }
};

} // namespace zel

#include "log/persistence/log_file_image.h"

#include "log/core/log_lists.h"
#include "log/support/log_text_codec.h"

#include <algorithm>
#include <cstring>

namespace zel {

// What tells that a reported event changed since it was formatted: a commit gives a new id,
// a repeat folded into it raises its count and last time without one.
struct log_file_image::change_mark {
    std::uint32_t commit_id = 0;
    std::uint32_t repeat_count = 0;
    std::int64_t last_ticks = 0;
    Tlog_kind kind = LK_INFO;

    static change_mark of(const ILogEvent& event) {
        return {event.commit_id(), event.repeat_count(), event.last_ticks(), event.log_type()};
    }
    bool operator==(const change_mark&) const = default;
};

struct log_file_image::node {
    ILogEventPtr event;
    const ILogGroup* group = nullptr; // the event as a group, when it is one
    node* parent = nullptr;           // null for an entry directly in the storage's group
    std::vector<node*> children;      // by index
    node* prev = nullptr;             // neighbours in the order of the file's entries
    node* next = nullptr;
    std::int32_t index = -1;
    QByteArray bytes;             // the encoded entry with its line end; empty when not written
    std::size_t image_length = 0; // what the entry occupies in the image now
    bool stale = true;            // to be formatted again
    bool changed = false;         // `bytes` differ from the image
    change_mark formatted;        // the state its bytes were made from
    QString shown_text;           // group: the text and name its bytes were made from
    QString shown_name;
};

namespace {

// Room kept in front of the entries of a newest-first image for the entries still to come.
constexpr std::size_t minimum_room = 64 * 1024;

bool has_any_tag(const QString& header, std::initializer_list<QStringView> tags) {
    return std::any_of(tags.begin(), tags.end(),
                       [&](QStringView tag) { return header.contains(tag); });
}

} // namespace

log_file_image::log_file_image() = default;
log_file_image::~log_file_image() = default;

void log_file_image::configure(const log_entry_layout& layout, Tlog_kinds discard,
                               bool most_recent_first) {
    layout_ = layout;
    discard_ = discard;
    most_recent_first_ = most_recent_first;
    // Parent names, context prefixes and values can be set without the event being reported.
    volatile_template_ = has_any_tag(layout.event_header,
                                     {u"{group}", u"{group_prefix}", u"{context}", u"{variant}"});
    // A group's count of entries and its last change follow the entries added below it.
    group_items_follow_children_ = has_any_tag(
        layout.event_header, {u"{child_count}", u"{last_date", u"{last_time", u"{duration}"});
    invalidate();
}

void log_file_image::invalidate() {
    lost_track_ = true;
}

void log_file_image::reformat_all() {
    for (const auto& [event, n] : nodes_)
        mark_stale(n.get());
    rebuild_ = true;
}

log_file_image::node* log_file_image::find(const ILogEvent* event) const {
    const auto found = nodes_.find(event);
    return found == nodes_.end() ? nullptr : found->second.get();
}

void log_file_image::mark_stale(node* n) {
    if (!n->stale) {
        n->stale = true;
        stale_.push_back(n);
    }
}

void log_file_image::event_changed(const ILogGroup& group, const ILogEventPtr& event) {
    if (lost_track_ || !event || event.get() == &group)
        return;
    node* parent = nullptr;
    if (discard_.contains(event->log_type())) {
        // Not written, but it still counts among its group's entries and changes.
        if (const ILogGroupPtr owner = event->parent())
            parent = find(owner.get());
    } else if (node* n = find(event.get())) {
        if (n->stale || change_mark::of(*event) == n->formatted)
            return; // reported again without a change
        mark_stale(n);
        parent = n->parent;
    } else if (node* placed = place(group, event)) {
        parent = placed->parent;
    }
    if (group_items_follow_children_)
        for (; parent != nullptr; parent = parent->parent)
            mark_stale(parent);
}

log_file_image::node* log_file_image::place(const ILogGroup& group, const ILogEventPtr& event) {
    const ILogGroupPtr parent = event->parent();
    const std::int32_t index = event->index();
    if (!parent || index < 0)
        return nullptr; // not (or no longer) an entry of the tree
    node* parent_node = nullptr;
    if (parent.get() != &group) {
        if (discard_.contains(LK_GROUP))
            return nullptr;
        parent_node = find(parent.get());
        if (parent_node == nullptr)
            parent_node = place(group, parent); // its report has not come yet
        if (parent_node == nullptr)
            return nullptr;
    }

    // Entries are reported in about the order they were placed: the new one is nearly always
    // the last of its siblings.
    auto& siblings = parent_node != nullptr ? parent_node->children : top_;
    auto position = siblings.end();
    node* before = parent_node;
    if (!siblings.empty() && siblings.back()->index >= index) {
        position = std::lower_bound(siblings.begin(), siblings.end(), index,
                                    [](const node* n, std::int32_t i) { return n->index < i; });
        if ((*position)->index == index) { // another event at that place: entries were cleared
            lost_track_ = true;
            return nullptr;
        }
        before = (*position)->prev;
    } else if (!siblings.empty()) {
        before = siblings.back();
        while (!before->children.empty())
            before = before->children.back();
    }

    auto owned = std::make_unique<node>();
    node* n = owned.get();
    n->event = event;
    n->group = dynamic_cast<const ILogGroup*>(event.get());
    n->parent = parent_node;
    n->index = index;
    n->prev = before;
    n->next = before != nullptr ? before->next : head_;
    (n->next != nullptr ? n->next->prev : tail_) = n;
    (before != nullptr ? before->next : head_) = n;
    siblings.insert(position, n);
    if (n->group != nullptr)
        groups_.push_back(n);
    stale_.push_back(n);
    nodes_.emplace(event.get(), std::move(owned));
    return n;
}

void log_file_image::clear_nodes() {
    nodes_.clear();
    top_.clear();
    groups_.clear();
    stale_.clear();
    head_ = tail_ = nullptr;
    changed_.clear();
}

void log_file_image::resync(const ILogGroupPtr& group) {
    clear_nodes();
    lost_track_ = false;
    rebuild_ = true;
    if (!group)
        return;
    const auto selection = std::make_shared<TLogEventList>();
    group->select(selection, discard_, nullptr);
    const std::int32_t count = selection->Count();
    for (std::int32_t i = 0; i < count; ++i)
        if (const ILogEventPtr event = selection->GetItems(i); event && !find(event.get()))
            place(*group, event);
    lost_track_ = false; // a walk just made is the tree as it is
}

void log_file_image::format_stale() {
    for (node* n : stale_) {
        n->formatted = change_mark::of(*n->event);
        const QString line = format_event_line(*n->event, layout_);
        QByteArray bytes;
        if (!line.isEmpty()) {
            bytes = encode_log_text(line);
            bytes += log_line_end.toLatin1();
        }
        if (n->group != nullptr) {
            n->shown_text =
                layout_.use_locale ? n->event->local_or_native_text() : n->event->text();
            n->shown_name = n->group->name();
        }
        if (bytes != n->bytes) {
            n->bytes = std::move(bytes);
            if (!n->changed) {
                n->changed = true;
                changed_.push_back(n);
            }
        }
        n->stale = false;
    }
    stale_.clear();
}

std::string_view log_file_image::render(const ILogGroupPtr& group, const QByteArray& header) {
    if (lost_track_) {
        resync(group);
    } else {
        if (volatile_template_)
            for (const auto& [event, n] : nodes_)
                mark_stale(n.get());
        // A group's text or name can be set without a report.
        for (node* g : groups_) {
            const QString text =
                layout_.use_locale ? g->event->local_or_native_text() : g->event->text();
            if (text != g->shown_text || g->group->name() != g->shown_name)
                mark_stale(g);
        }
    }
    format_stale();
    if (rebuild_ || !build_changed_part(header))
        build_whole(header);
    return {buffer_.data() + begin_, end_ - begin_};
}

void log_file_image::build_whole(const QByteArray& header) {
    std::size_t total = 0;
    for (const node* n = head_; n != nullptr; n = n->next)
        total += static_cast<std::size_t>(n->bytes.size());
    const auto header_size = static_cast<std::size_t>(header.size());
    if (most_recent_first_) {
        // Entries at the end of the buffer, the newest first, with room before them.
        buffer_.assign(std::max(total, minimum_room) + header_size + total, '\0');
        end_ = buffer_.size();
        entries_begin_ = end_ - total;
        std::size_t at = entries_begin_;
        for (node* n = tail_; n != nullptr; n = n->prev) {
            std::memcpy(buffer_.data() + at, n->bytes.constData(), n->bytes.size());
            at += static_cast<std::size_t>(n->bytes.size());
        }
        begin_ = entries_begin_ - header_size;
    } else {
        buffer_.clear();
        buffer_.reserve(2 * (header_size + total));
        buffer_.append(header_size, '\0');
        for (const node* n = head_; n != nullptr; n = n->next)
            buffer_.append(n->bytes.constData(), static_cast<std::size_t>(n->bytes.size()));
        begin_ = 0;
        entries_begin_ = header_size;
        end_ = buffer_.size();
    }
    std::memcpy(buffer_.data() + begin_, header.constData(), header_size);
    for (node* n = head_; n != nullptr; n = n->next) {
        n->image_length = static_cast<std::size_t>(n->bytes.size());
        n->changed = false;
    }
    changed_.clear();
    rebuild_ = false;
}

bool log_file_image::build_changed_part(const QByteArray& header) {
    // Beyond a few changes one pass over the whole image costs less than a move for each.
    constexpr std::size_t most_changes = 32;
    const auto header_size = static_cast<std::size_t>(header.size());
    if (changed_.size() > most_changes || (!most_recent_first_ && header_size != entries_begin_))
        return false;
    for (node* n : changed_)
        if (!move_into_image(n, header_size))
            return false;
    changed_.clear();
    begin_ = entries_begin_ - header_size;
    std::memcpy(buffer_.data() + begin_, header.constData(), header_size);
    return true;
}

bool log_file_image::move_into_image(node* n, std::size_t header_size) {
    // The bytes of the entries after `n` in the order (newer) and before it (older): walk out
    // from `n` both ways and stop at whichever end comes first, since a new entry is usually
    // the last one, or the last of a group near the start.
    const std::size_t total = end_ - entries_begin_;
    std::size_t newer = 0;
    std::size_t older = 0;
    for (const node *forward = n->next, *backward = n->prev;;
         forward = forward->next, backward = backward->prev) {
        if (forward == nullptr) {
            older = total - n->image_length - newer;
            break;
        }
        if (backward == nullptr) {
            newer = total - n->image_length - older;
            break;
        }
        newer += forward->image_length;
        older += backward->image_length;
    }

    const std::size_t old_length = n->image_length;
    const auto new_length = static_cast<std::size_t>(n->bytes.size());
    std::size_t at = 0;
    if (most_recent_first_) {
        // The newer entries lie in front of `n`: they move into the room before the entries.
        if (new_length > old_length && new_length - old_length + header_size > entries_begin_)
            return false;
        const std::size_t shifted_begin = entries_begin_ + old_length - new_length;
        std::memmove(buffer_.data() + shifted_begin, buffer_.data() + entries_begin_, newer);
        entries_begin_ = shifted_begin;
        at = entries_begin_ + newer;
    } else {
        // The newer entries follow `n`: they move along the end of the buffer.
        at = entries_begin_ + older;
        if (new_length > old_length)
            buffer_.resize(end_ + new_length - old_length);
        std::memmove(buffer_.data() + at + new_length, buffer_.data() + at + old_length, newer);
        end_ = end_ + new_length - old_length;
        buffer_.resize(end_);
    }
    std::memcpy(buffer_.data() + at, n->bytes.constData(), new_length);
    n->image_length = new_length;
    n->changed = false;
    return true;
}

bool log_file_image::pending() const {
    return lost_track_ || rebuild_ || !stale_.empty() || !changed_.empty();
}

ILogEventPtr log_file_image::last_event() const {
    return tail_ != nullptr ? tail_->event : nullptr;
}

} // namespace zel

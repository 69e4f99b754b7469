#pragma once

#include "log/core/log_interfaces.h"
#include "log/persistence/log_file_format.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zel {

// The bytes of a storage's file, kept between writes so that a rewrite costs what changed, not
// what the log holds. The entries mirror the group's tree in the order of the group's select: a
// depth-first walk (each group followed by its own entries) that leaves out the discarded kinds
// and everything inside a discarded group. Each entry is formatted and encoded once and again
// only when its event is reported changed (or, for a group, when its text or name differ); the
// file image is one buffer that a write hands to the file in one call. In newest-first order
// the image keeps free room before its first entry, so that a new event costs its own bytes.
//
// The first render, and any render after the mirror lost track of the tree (entries cleared,
// settings changed), walks the group with select and formats everything once.
//
// Not thread-safe: the storage calls it under its own lock.
class log_file_image {
public:
    log_file_image();
    ~log_file_image();
    log_file_image(const log_file_image&) = delete;
    log_file_image& operator=(const log_file_image&) = delete;

    // What the entries are made of; any change re-reads the tree at the next render.
    void configure(const log_entry_layout& layout, Tlog_kinds discard, bool most_recent_first);
    // Forgets the tree: the next render walks the group again.
    void invalidate();
    // Formats every entry again at the next render (the root's formats changed).
    void reformat_all();

    // An event in `group` or below it was added or changed.
    void event_changed(const ILogGroup& group, const ILogEventPtr& event);

    // The complete file: `header` followed by the entries. Valid until the next call.
    std::string_view render(const ILogGroupPtr& group, const QByteArray& header);

    // Whether a render would lay out anything that was reported since the last one.
    bool pending() const;

    // The last entry of the order, after the last render; null when there is none.
    ILogEventPtr last_event() const;

private:
    struct change_mark;
    struct node;

    node* find(const ILogEvent* event) const;
    // The node of `event`, created at its place in the order; null when the event is not
    // shown (discarded, or inside a discarded group) or when the mirror lost track of the tree.
    node* place(const ILogGroup& group, const ILogEventPtr& event);
    void mark_stale(node* n);
    void resync(const ILogGroupPtr& group);
    void format_stale();
    void build_whole(const QByteArray& header);
    bool build_changed_part(const QByteArray& header);
    bool move_into_image(node* n, std::size_t header_size);
    void clear_nodes();

    log_entry_layout layout_;
    Tlog_kinds discard_;
    bool most_recent_first_ = true;
    bool volatile_template_ = false; // items that change without a notification
    bool group_items_follow_children_ = false;

    std::unordered_map<const ILogEvent*, std::unique_ptr<node>> nodes_;
    std::vector<node*> top_;     // entries directly in the storage's group, by index
    std::vector<node*> groups_;  // every group entry
    std::vector<node*> stale_;   // entries to format again
    std::vector<node*> changed_; // entries whose bytes differ from the image
    node* head_ = nullptr;       // first entry of the order
    node* tail_ = nullptr;       // last entry of the order
    bool lost_track_ = true;
    bool rebuild_ = true; // lay out the whole image at the next render

    // The image: [begin_, end_) of buffer_, the entries starting at entries_begin_.
    std::string buffer_;
    std::size_t begin_ = 0;
    std::size_t entries_begin_ = 0;
    std::size_t end_ = 0;
};

} // namespace zel

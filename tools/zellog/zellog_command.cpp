#include "tools/zellog/zellog_command.h"

#include "log/core/date_time_format.h"
#include "log/core/log_lists.h"
#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "log/persistence/log_persistence.h"
#include "log/support/module_version.h"

#include <QSet>
#include <QString>

#include <optional>

namespace zel {

namespace {

constexpr const char* usage = "usage: zellog show PATH [--kinds KIND,KIND...]\n"
                              "       zellog --version | --help\n"
                              "PATH: a log file, a folder of logs or a .crashlist file.\n"
                              "KIND: decoration, group, showstopper, critical, exception, error,\n"
                              "      warning, hint, important, info, verbose, veryverbose, debug\n";

// Kind names for --kinds: the kind's name without its prefix, in lower case.
constexpr const char* kind_options[log_kind_count] = {
    "decoration", "group",     "showstopper", "critical", "exception",   "error", "warning",
    "hint",       "important", "info",        "verbose",  "veryverbose", "debug"};

std::optional<Tlog_kinds> parse_kinds(const QString& list) {
    Tlog_kinds kinds;
    for (const QString& name : list.split(u',', Qt::SkipEmptyParts)) {
        int found = -1;
        for (int kind = 0; kind < log_kind_count; ++kind)
            if (name.trimmed().compare(QLatin1String(kind_options[kind]), Qt::CaseInsensitive) == 0)
                found = kind;
        if (found < 0)
            return std::nullopt;
        kinds.include(static_cast<Tlog_kind>(found));
    }
    if (kinds.empty())
        return std::nullopt;
    return kinds;
}

struct show_request {
    QString path;
    Tlog_kinds kinds = Tlog_kinds::all();
};

std::optional<show_request> parse_show(const std::vector<std::string>& arguments) {
    show_request request;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const QString argument = QString::fromStdString(arguments[i]);
        QString kinds;
        if (argument == u"--kinds" && i + 1 < arguments.size())
            kinds = QString::fromStdString(arguments[++i]);
        else if (argument.startsWith(u"--kinds="))
            kinds = argument.sliced(8);
        else if (!argument.startsWith(u"--") && request.path.isEmpty())
            request.path = argument;
        else
            return std::nullopt;
        if (!kinds.isNull()) {
            const auto parsed = parse_kinds(kinds);
            if (!parsed)
                return std::nullopt;
            request.kinds = *parsed;
        }
    }
    if (request.path.isEmpty())
        return std::nullopt;
    return request;
}

void write_text(std::ostream& out, const QString& text) {
    out << text.toStdString();
}

// The entries of `group` in order, with the groups that hold a shown entry.
std::vector<ILogEventPtr> shown_entries(const ILogGroupPtr& group, Tlog_kinds kinds) {
    const auto all = std::make_shared<TLogEventList>();
    group->select(all, {}, nullptr);
    QSet<const ILogEvent*> holding;
    for (std::int32_t i = 0; i < all->Count(); ++i) {
        const ILogEventPtr event = all->GetItems(i);
        if (!kinds.contains(event->log_type()))
            continue;
        for (ILogGroupPtr up = event->parent(); up && up != group; up = up->parent())
            holding.insert(up.get());
    }
    std::vector<ILogEventPtr> shown;
    for (std::int32_t i = 0; i < all->Count(); ++i) {
        const ILogEventPtr event = all->GetItems(i);
        if (kinds.contains(event->log_type()) || holding.contains(event.get()))
            shown.push_back(event);
    }
    return shown;
}

// "<indent><kind> <date and time>  [(xN) ]<text>", further lines of the text under its first.
void print_entry(std::ostream& out, const ILogEvent& event, int base_depth) {
    static const QString pattern = QStringLiteral(R"(yyyy"-"mm"-"dd hh":"nn":"ss"."zzz)");
    QString prefix = QString(2 * (event.depth() - base_depth - 1), u' ');
    prefix += event.log_type_as_text().leftJustified(12);
    prefix += u' ';
    prefix += format_date_time(pattern, event.when(), *TLogRoot::default_format_settings());
    prefix += QStringLiteral("  ");
    if (event.repeat_count() != 0)
        prefix += QStringLiteral("(x%1) ").arg(event.repeat_count() + 1);
    const QStringList lines = event.text().split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        write_text(out, (i == 0 ? prefix : QString(prefix.size(), u' ')) + lines[i]);
        out << '\n';
    }
}

int show(const show_request& request, std::ostream& out, std::ostream& err) {
    install_log_persistence();
    const auto root = TLogRoot::Create();
    root->set_header({});
    root->set_footer({});
    // Events take their times from the program's root.
    const ILogRootPtr previous = default_log_root;
    default_log_root = root;
    const bool loaded = root->LoadFromFile(request.path);
    if (loaded) {
        write_text(out, root->text());
        out << '\n';
        for (const ILogEventPtr& event : shown_entries(root, request.kinds))
            print_entry(out, *event, root->depth());
    } else {
        err << "zellog: nothing could be loaded from \"" << request.path.toStdString() << "\"\n";
        for (const ILogEventPtr& event : shown_entries(root, {LK_ERROR}))
            err << "  " << event->text().toStdString() << '\n';
    }
    root->clear_all();
    default_log_root = previous;
    return loaded ? 0 : 1;
}

} // namespace

int run_zellog(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        out << usage;
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        out << "zellog " << get_file_version_dotted(QString(), "unknown").toStdString() << '\n';
        return 0;
    }
    if (!arguments.empty() && arguments[0] == "show")
        if (const auto request = parse_show(arguments))
            return show(*request, out, err);
    err << usage;
    return 2;
}

} // namespace zel

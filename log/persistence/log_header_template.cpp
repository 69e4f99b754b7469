#include "log/persistence/log_header_template.h"

namespace zel {

log_header_template parse_header_template(QString text) {
    text.remove(u'\'');
    log_header_template result;
    QStringView rest(text);
    while (!rest.isEmpty()) {
        int found = -1;
        for (int i = 0; i < nb_info_items && found < 0; ++i) {
            const QStringView name = log_item_fmts[static_cast<std::size_t>(i)].name;
            if (rest.size() >= name.size() + 2 && rest[0] == u'{' &&
                rest.sliced(1, name.size()) == name && rest[name.size() + 1] == u'}')
                found = i;
        }
        if (found < 0)
            break;
        const auto item = static_cast<Log_info_item>(found);
        rest = rest.sliced(log_item_fmts[static_cast<std::size_t>(found)].name.size() + 2);
        const qsizetype next = rest.indexOf(u'{');
        const auto gap = static_cast<std::int32_t>(next < 0 ? 0 : next);
        result.items.push_back({item, log_item_fmts[static_cast<std::size_t>(found)].width, gap});
        rest = next < 0 ? QStringView() : rest.sliced(next);
        result.has_time = result.has_time || item == lii_time || item == lii_time_short;
        result.has_last_time =
            result.has_last_time || item == lii_last_time || item == lii_last_time_short;
    }
    return result;
}

} // namespace zel

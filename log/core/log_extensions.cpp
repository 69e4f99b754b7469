#include "log/core/log_extensions.h"

namespace zel {

namespace {

// Written during start-up and shutdown only, on the main thread, like default_log_root.
TLogPersistenceHooks persistence_hooks;
TLogDiagnosticsHooks diagnostics_hooks;
TTranslateText translation;

} // namespace

void set_log_persistence_hooks(TLogPersistenceHooks hooks) {
    persistence_hooks = std::move(hooks);
}

void set_log_diagnostics_hooks(TLogDiagnosticsHooks hooks) {
    diagnostics_hooks = std::move(hooks);
}

void set_translate_text(TTranslateText translate) {
    translation = std::move(translate);
}

const TLogPersistenceHooks& log_persistence_hooks() noexcept {
    return persistence_hooks;
}

const TLogDiagnosticsHooks& log_diagnostics_hooks() noexcept {
    return diagnostics_hooks;
}

bool translate_text(const QString& txt, QString& translation_found) {
    return translation && translation(txt, translation_found);
}

QString translate_or_keep(const QString& txt) {
    QString translated;
    return translate_text(txt, translated) ? translated : txt;
}

} // namespace zel

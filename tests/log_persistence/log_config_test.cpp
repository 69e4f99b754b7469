#include "log/core/log_extensions.h"
#include "log/core/log_procedures.h"
#include "log/diagnostics/log_diagnostics.h"
#include "log/persistence/log_config.h"
#include "log/persistence/log_storage.h"
#include "tests/log_persistence/persistence_fixture.h"

#include <QFileInfo>

namespace zel {
namespace {

using namespace testing;

class LogConfig : public PersistenceTest {
protected:
    void SetUp() override {
        PersistenceTest::SetUp();
        default_log_root.reset();
    }

    void TearDown() override {
        if (default_log_root)
            default_log_root->clear_all();
        default_log_root.reset();
        set_log_diagnostics_hooks({});
        PersistenceTest::TearDown();
    }
};

TEST_F(LogConfig, ANewConfigurationCreatesTheRootOnceAndHasTheDefaults) {
    TLog_config first;
    ASSERT_TRUE(default_log_root);
    EXPECT_EQ(first.root(), default_log_root);
    EXPECT_TRUE(first.autostart());
    EXPECT_EQ(first.location(), KF_APPDATA);
    EXPECT_EQ(first.discard(), Tlog_kinds{LK_DEBUG});
    EXPECT_TRUE(first.autocreate_group());
    EXPECT_FALSE(first.log_exceptions());
    EXPECT_TRUE(first.log_startup_info());
    EXPECT_TRUE(first.log_cpu());
    EXPECT_TRUE(first.log_memory());
    EXPECT_FALSE(first.log_commandline());
    EXPECT_EQ(first.storages().count(), 0);

    // A second form's configuration takes the same root and keeps it.
    TLog_config second;
    EXPECT_EQ(second.root(), first.root());
    second.set_path("shared");
    EXPECT_EQ(first.path(), "shared");

    const TLogStorage_config& item = first.storages().add();
    EXPECT_EQ(item.parent_group(), "");
    EXPECT_EQ(item.file_name(), "log_file");
    EXPECT_TRUE(item.most_recent_first());
    EXPECT_EQ(item.flush_interval(), 0);
    EXPECT_EQ(item.flush_on(), Tlog_kinds{});
    EXPECT_EQ(item.discard(), Tlog_kinds{LK_DEBUG});
    EXPECT_FALSE(item.use_locale());
    EXPECT_FALSE(item.crash_log());
    EXPECT_EQ(item.decoration_padding(), 120);
    EXPECT_EQ(item.decoration_pattern(), "*");
    EXPECT_EQ(item.event_header(), "{time}  {type}");
    EXPECT_EQ(item.group_indent(), 4);
    EXPECT_TRUE(item.enabled());
    EXPECT_TRUE(std::dynamic_pointer_cast<TLogStorage>(item.storage()));
    EXPECT_EQ(first.storages().storage(1), nullptr);
}

TEST_F(LogConfig, LoadedRegistersStoragesOnTheirGroupsOnly) {
    TLog_config config;
    config.set_autocreate_group(false);
    config.set_log_startup_info(false);
    config.set_log_cpu(false);
    config.set_log_memory(false);
    TLogStorage_config& on_root = config.storages().add();
    TLogStorage_config& on_missing = config.storages().add();
    on_missing.set_parent_group("x");
    TLogStorage_config copy;
    copy.set_file_name("copied");
    copy.set_parent_group(config.root_name());
    config.storages().set_storage(0, copy);
    EXPECT_EQ(on_root.file_name(), "copied");

    config.Loaded();
    EXPECT_EQ(config.root()->storage_count(), 1);
    EXPECT_EQ(config.root()->first_storage(), on_root.storage());
    EXPECT_EQ(on_missing.storage()->group(), nullptr);
    ILogGroupPtr x;
    EXPECT_FALSE(config.root()->find_group("x", x));
}

TEST_F(LogConfig, LoadedWritesTheStartupInformationTheSwitchesAskFor) {
    std::vector<QString> written;
    TLogDiagnosticsHooks hooks;
    hooks.add_startup_info = [&](TLogEvent& event) {
        written.push_back("startup");
        event.add("startup information");
    };
    hooks.add_cpu = [&](TLogEvent& event) {
        written.push_back("cpu");
        event.add("cpu");
    };
    hooks.add_memory = [&](TLogEvent& event) {
        written.push_back("memory");
        event.add("memory");
    };
    hooks.add_commandline = [&](TLogEvent& event, const QString& hide) {
        written.push_back("commandline " + hide);
        event.add("command line");
    };
    set_log_diagnostics_hooks(std::move(hooks));

    TLog_config config;
    config.root()->set_header({});
    config.set_log_cpu(false);
    config.set_log_memory(false);
    config.Loaded();
    EXPECT_EQ(written, std::vector<QString>{"startup"});
    EXPECT_EQ(config.root()->event_count(), 1);

    config.set_log_cpu(true);
    config.set_log_memory(true);
    config.set_log_commandline(true);
    config.Loaded();
    EXPECT_EQ(written,
              (std::vector<QString>{"startup", "startup", "cpu", "memory", "commandline "}));
}

TEST_F(LogConfig, ExceptionCaptureStaysOffWhereItCannotBeInstalled) {
    TLog_config config;
    config.set_log_exceptions(true);
    EXPECT_FALSE(config.log_exceptions()); // no capture installed

    std::vector<std::pair<ILogRootPtr, bool>> calls;
    TLogDiagnosticsHooks hooks;
    hooks.register_exception_root = [&](const ILogRootPtr& registered) {
        calls.emplace_back(registered, true);
        return true;
    };
    hooks.unregister_exception_root = [&](const ILogRootPtr& registered) {
        calls.emplace_back(registered, false);
        return true;
    };
    set_log_diagnostics_hooks(std::move(hooks));
    config.set_log_exceptions(true);
    EXPECT_TRUE(config.log_exceptions());
    config.set_log_exceptions(true); // no change, no call
    config.set_log_exceptions(false);
    EXPECT_FALSE(config.log_exceptions());
    const std::vector<std::pair<ILogRootPtr, bool>> expected{{config.root(), true},
                                                             {config.root(), false}};
    EXPECT_EQ(calls, expected);
}

TEST_F(LogConfig, TheMainWindowPresetWritesEveryEventUnderProgramData) {
    const auto config = main_window_log_config();
    EXPECT_EQ(config->location(), KF_PROGRAMDATA);
    EXPECT_EQ(config->crashlist_name(), "crash_list");
    EXPECT_EQ(config->path(), "ZEL/ZEL Kettle/1/log");
    EXPECT_EQ(config->true_string(), "[x]");
    EXPECT_EQ(config->false_string(), "[ ]");
    EXPECT_EQ(config->short_date_format(), "dd mmm");
    EXPECT_EQ(config->long_date_format(), R"(yyyy"-"mm"-"dd)");
    EXPECT_EQ(config->short_time_format(), R"(hh":"nn":"ss)");
    EXPECT_EQ(config->long_time_format(), R"(hh":"nn":"ss"."zzz)");
    EXPECT_EQ(config->native_language(), "en-US");
    EXPECT_EQ(config->root_name(), "5488");
    EXPECT_EQ(config->root_header(), "{module}:{pid} Log session start {date} at {time}");
    EXPECT_EQ(config->root_footer(), "{module}:{pid} Log session stop after {duration}");
    EXPECT_FALSE(config->log_startup_info());
    EXPECT_FALSE(config->log_cpu());
    EXPECT_FALSE(config->log_memory());
    EXPECT_EQ(config->discard(), Tlog_kinds{});
    EXPECT_FALSE(config->autocreate_group());
    ASSERT_EQ(config->storages().count(), 1);
    const TLogStorage_config& item = *config->storages().storage(0);
    EXPECT_EQ(item.flush_on(), Tlog_kinds::all());
    EXPECT_EQ(item.discard(), Tlog_kinds{});

    config->Loaded();
    log_add(LK_DEBUG, "debug events are written too");
    const QString name = item.fq_filename();
    EXPECT_TRUE(name.startsWith(path("XDG_DATA_HOME/ZEL/ZEL Kettle/1/log/log_file.")))
        << name.toStdString();
    EXPECT_TRUE(file_bytes(name).contains("Debug           debug events are written too"));
    EXPECT_EQ(config->fq_filename(),
              path("XDG_DATA_HOME/ZEL/ZEL Kettle/1/log/crash_list.crashlist"));
}

} // namespace
} // namespace zel

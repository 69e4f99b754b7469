// zel-send-support-file: the window with which a customer sends one file to ZEL's support.
#include "app/gui/main_window.h"
#include "app/gui/user_infos_dialog.h"
#include "log/core/log_unit.h"
#include "log/diagnostics/log_diagnostics.h"
#include "log/persistence/log_persistence.h"

#include <QApplication>

int main(int argc, char** argv) {
    zel::TLogUnit unit;
    zel::install_log_persistence();
    zel::install_log_diagnostics();
    int status = 0;
    {
        QApplication application(argc, argv);
        QApplication::setApplicationDisplayName(QStringLiteral("ZEL send support file"));
        zel::TFMain FMain;
        zel::TFUserInfos FUserInfos(FMain.Settings(), &FMain);
        FMain.SetUserInfos(&FUserInfos);
        FMain.show();
        status = QApplication::exec();
    }
    unit.shutdown();
    return status;
}

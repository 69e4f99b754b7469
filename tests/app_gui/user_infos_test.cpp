// The user information dialog driven through its controls, the way a user answers it.
#include "app/gui/user_infos_dialog.h"
#include "app/sender/email_store.h"
#include "app/sender/send_workflow.h"
#include "tests/app_gui/window_driver.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

namespace zel::test {
namespace {

QString stored_value() {
    return QSettings(QStringLiteral("ZEL"), QStringLiteral("ZelRep"))
        .value(QStringLiteral("FtpEmailFolder"))
        .toString();
}

class UserInfos : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings(QStringLiteral("ZEL"), QStringLiteral("ZelRep"))
            .remove(QStringLiteral("FtpEmailFolder"));
    }

    template <class TControl>
    TControl* control(const char* name) {
        return dialog.findChild<TControl*>(QString::fromLatin1(name));
    }

    // Shows the dialog modally, runs `answer` on it, and gives the dialog's result.
    int show_and(const std::function<bool(QWidget&)>& answer) {
        const ModalAnswer answering(answer);
        const int result = dialog.exec();
        EXPECT_TRUE(answering.answered());
        return result;
    }

    TSettings settings;
    TFUserInfos dialog{settings, nullptr};
};

TEST_F(UserInfos, ShowsItsTextsAndLayout) {
    EXPECT_EQ(dialog.windowTitle(), "User Infos");
    EXPECT_EQ(dialog.size(), QSize(368, 153));
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(control<QLabel>("Label_Email")->text(), "Your email address:");
    EXPECT_EQ(control<QLabel>("Label2")->text(), "Your contact at ZEL:");
    EXPECT_EQ(control<QLabel>("Label1")->text(), "* Don't forget to unlock your firewall");
    EXPECT_EQ(control<QCheckBox>("CheckBox_AllowLog")->text(), "Auto send log files");
    EXPECT_TRUE(control<QCheckBox>("CheckBox_AllowLog")->isChecked());
    EXPECT_EQ(control<QPushButton>("BtnOk")->text(), "Ok");
    EXPECT_EQ(control<QLineEdit>("Edit_Email")->geometry(), QRect(128, 21, 233, 21));
    EXPECT_EQ(control<QLineEdit>("EdZelContact")->geometry(), QRect(128, 56, 232, 21));
    EXPECT_EQ(control<QPushButton>("BtnOk")->geometry(), QRect(284, 117, 75, 25));
}

TEST_F(UserInfos, TabGoesFromTheAddressToTheBoxToOkToTheContact) {
    QStringList order;
    show_and([&order](QWidget& modal) {
        if (QApplication::focusWidget() == nullptr)
            return false; // not active yet
        for (int step = 0; step < 5; ++step) {
            order << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        modal.close();
        return true;
    });
    EXPECT_EQ(order, QStringList({"Edit_Email", "CheckBox_AllowLog", "BtnOk", "EdZelContact",
                                  "Edit_Email"}));
}

TEST_F(UserInfos, FirstRunShowsNoAddressAndOkStoresTheAnswers) {
    const int result = show_and([](QWidget& modal) {
        EXPECT_EQ(modal.findChild<QLineEdit*>(QStringLiteral("Edit_Email"))->text(), "");
        return fill_user_infos(modal, " a.b@example.com", "", false);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(settings.FEmail, " a.b@example.com"); // as typed, not trimmed
    EXPECT_EQ(settings.FZelContact, "");
    EXPECT_FALSE(settings.FFtpSendLogFiles);
    EXPECT_EQ(stored_value(), " a.b@example.com");
    EXPECT_EQ(read_stored_email(), " a.b@example.com");
}

TEST_F(UserInfos, EachShowingReadsTheStoredAddressAndCloseBoxStoresNothing) {
    ASSERT_TRUE(write_stored_email(QStringLiteral("stored@example.com")));
    const int closed = show_and([](QWidget& modal) {
        auto* edit = modal.findChild<QLineEdit*>(QStringLiteral("Edit_Email"));
        EXPECT_EQ(edit->text(), "stored@example.com");
        QTest::keyClicks(modal.findChild<QLineEdit*>(QStringLiteral("EdZelContact")), "Ann");
        QTest::keyClicks(edit, ".typed");
        modal.close(); // the close box
        return true;
    });
    EXPECT_EQ(closed, QDialog::Rejected);
    EXPECT_EQ(stored_value(), "stored@example.com");

    // The typed address is gone at the next showing; the contact keeps what was typed.
    show_and([](QWidget& modal) {
        EXPECT_EQ(modal.findChild<QLineEdit*>(QStringLiteral("Edit_Email"))->text(),
                  "stored@example.com");
        EXPECT_EQ(modal.findChild<QLineEdit*>(QStringLiteral("EdZelContact"))->text(), "Ann");
        modal.close();
        return true;
    });
}

TEST_F(UserInfos, AnEmptyAddressIsRefusedWithAMessageAndTheDialogStaysOpen) {
    QString message;
    bool still_open = false;
    const ModalAnswer confirm_message([&](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        if (box == nullptr)
            return false;
        message = box->text();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        return true;
    });
    const int result = show_and([&](QWidget& modal) {
        if (dynamic_cast<TFUserInfos*>(&modal) == nullptr)
            return false;
        QTest::mouseClick(modal.findChild<QPushButton*>(QStringLiteral("BtnOk")), Qt::LeftButton);
        still_open = modal.isVisible();
        modal.close();
        return true;
    });
    EXPECT_TRUE(confirm_message.answered());
    EXPECT_EQ(message, "Please enter your email address");
    EXPECT_TRUE(still_open);
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(QSettings(QStringLiteral("ZEL"), QStringLiteral("ZelRep"))
                     .contains(QStringLiteral("FtpEmailFolder")));
}

} // namespace
} // namespace zel::test

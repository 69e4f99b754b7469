#include "app/gui/user_infos_dialog.h"

#include "app/sender/email_store.h"
#include "app/sender/send_workflow.h"
#include "log/core/log_procedures.h"

#include <QApplication>
#include <QMessageBox>
#include <QShowEvent>

namespace zel {

namespace {

template <class TControl>
TControl* place(TControl* control, const char* name, int left, int top) {
    control->setObjectName(QString::fromLatin1(name));
    control->move(left, top);
    return control;
}

template <class TControl>
TControl* place(TControl* control, const char* name, int left, int top, int width, int height) {
    place(control, name, left, top)->resize(width, height);
    return control;
}

} // namespace

TFUserInfos::TFUserInfos(TSettings& settings, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::WindowStaysOnTopHint)
    , FSettings(settings)
    , Label_Email(
          place(new QLabel(QStringLiteral("Your email address:"), this), "Label_Email", 8, 24))
    , Edit_Email(place(new QLineEdit(this), "Edit_Email", 128, 21, 233, 21))
    , Label2(place(new QLabel(QStringLiteral("Your contact at ZEL:"), this), "Label2", 8, 59))
    , EdZelContact(place(new QLineEdit(this), "EdZelContact", 128, 56, 232, 21))
    , CheckBox_AllowLog(place(new QCheckBox(QStringLiteral("Auto send log files"), this),
                              "CheckBox_AllowLog", 7, 94, 353, 17))
    , BtnOk(place(new QPushButton(QStringLiteral("Ok"), this), "BtnOk", 284, 117, 75, 25))
    , Label1(place(new QLabel(QStringLiteral("* Don't forget to unlock your firewall"), this),
                   "Label1", 7, 129)) {
    setObjectName(QStringLiteral("FUserInfos"));
    setWindowTitle(QStringLiteral("User Infos"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(368, 153);
    setModal(true);
    Label1->setStyleSheet(QStringLiteral("color: grey"));
    for (QLabel* label : {Label_Email, Label2, Label1})
        label->adjustSize();
    CheckBox_AllowLog->setChecked(true);
    BtnOk->setDefault(true);
    // Tab order: address, check box, Ok, contact.
    QWidget::setTabOrder(Edit_Email, CheckBox_AllowLog);
    QWidget::setTabOrder(CheckBox_AllowLog, BtnOk);
    QWidget::setTabOrder(BtnOk, EdZelContact);
    connect(BtnOk, &QPushButton::clicked, this, &TFUserInfos::BtnOkClick);
}

void TFUserInfos::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TFUserInfos::FormShow() {
    FSettings.FEmail = read_stored_email();
    Edit_Email->setText(FSettings.FEmail);
    Edit_Email->setFocus();
}

void TFUserInfos::BtnOkClick() {
    if (Edit_Email->text().isEmpty()) {
        QMessageBox::information(this, QApplication::applicationDisplayName(),
                                 QStringLiteral("Please enter your email address"));
        return;
    }
    FSettings.FEmail = Edit_Email->text();
    FSettings.FZelContact = EdZelContact->text();
    FSettings.FFtpSendLogFiles = CheckBox_AllowLog->isChecked();
    // The send can go on without the stored address; only the next run misses it.
    if (!write_stored_email(FSettings.FEmail))
        log_add(LK_WARNING, QStringLiteral("unable to store the email address"));
    accept();
}

} // namespace zel

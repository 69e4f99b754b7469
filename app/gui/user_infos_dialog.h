#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zel {

struct TSettings;

// The modal dialog shown before each send: the user's e-mail address (required, remembered for
// the next run), the contact at ZEL and whether the system report goes too. It writes the
// answers into the settings it was given. Created once; its controls keep what the user typed
// between showings, except the address, which is read from the store at every showing.
class TFUserInfos : public QDialog {
    Q_OBJECT

public:
    TFUserInfos(TSettings& settings, QWidget* owner);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void BtnOkClick();

    TSettings& FSettings;
    QLabel* Label_Email;
    QLineEdit* Edit_Email;
    QLabel* Label2;
    QLineEdit* EdZelContact;
    QCheckBox* CheckBox_AllowLog;
    QPushButton* BtnOk;
    QLabel* Label1;
};

} // namespace zel

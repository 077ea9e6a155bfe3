#include "support/ui/LoginDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TLoginDialog::TLoginDialog(const QString& dataSource, const QString& userName, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName("LoginDialog");
    setWindowTitle("Database Login");

    auto* database = new QLabel("Database: " + dataSource, this);
    database->setObjectName("LDatabase");
    database->setTextFormat(Qt::PlainText);

    userName_ = new QLineEdit(userName, this);
    userName_->setObjectName("EUserName");
    password_ = new QLineEdit(this);
    password_->setObjectName("EPassword");
    password_->setEchoMode(QLineEdit::Password);

    auto* fields = new QFormLayout;
    fields->addRow("&User name:", userName_);
    fields->addRow("&Password:", password_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    ok->setObjectName("BOK");
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("BCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(database);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // With a known user the operator only has the password left to type.
    if (userName.isEmpty())
        userName_->setFocus();
    else
        password_->setFocus();
}

QString TLoginDialog::UserName() const {
    return userName_->text();
}
QString TLoginDialog::Password() const {
    return password_->text();
}

bool ShowLoginDialog(const QString& dataSource, QString& userName, QString& password) {
    TLoginDialog dialog(dataSource, userName);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    userName = dialog.UserName();
    password = dialog.Password();
    return true;
}

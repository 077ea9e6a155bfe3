#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

// The login prompt of a connection that asks for one, naming its ODBC data source: user name
// (pre-filled) and password.
class TLoginDialog : public QDialog {
    Q_OBJECT
public:
    TLoginDialog(const QString& dataSource, const QString& userName, QWidget* parent = nullptr);
    QString UserName() const;
    QString Password() const;

private:
    QLineEdit* userName_ = nullptr;
    QLineEdit* password_ = nullptr;
};

// True with the entered user name and password on OK; false, both unchanged, when cancelled.
bool ShowLoginDialog(const QString& dataSource, QString& userName, QString& password);

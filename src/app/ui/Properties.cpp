#include "app/ui/Properties.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Data.h"
#include "platform/Errors.h"
#include "support/ErrorHandler.h"

TFProperties::TFProperties(QWidget* parent) : QDialog(parent) {
    setObjectName("FProperties");
    setWindowTitle("Properties");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    DateFormat = new QLineEdit;
    DateFormat->setObjectName("DateFormat");
    auto* form = new QFormLayout;
    auto* label = new QLabel("Sql server Date format:");
    label->setBuddy(DateFormat);
    form->addRow(label, DateFormat);

    BitBtn1 = new QPushButton("OK");
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton("Cancel");
    BitBtn2->setObjectName("BitBtn2");
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject); // Escape rejects as well

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    DateFormat->setMinimumWidth(160);
}

void StoreDateFormat(const QString& format) {
    // Sent whatever the mode: the destination is opened for it when it is not open yet. Stored only
    // when the destination accepted it, so a refused format does not greet every start.
    if (!format.isEmpty()) {
        try {
            D->ApplyDateFormat(format);
        } catch (const std::exception& error) {
            throw EKelvoError(ErrorMessage(error) + "\nThe date format \"" + format + "\" was not stored.");
        }
    }
    D->IniWriteString(TD::SettingsFile(), "GENERAL", "MSSQL_DATEFORMAT", format);
}

bool TFProperties::EditProperties() {
    // Released only after the modal run: a deferred delete posted before it would fire inside it.
    struct TRelease {
        QObject* window;
        ~TRelease() { window->deleteLater(); }
    } release{this};
    DateFormat->setText(D->IniReadString(TD::SettingsFile(), "GENERAL", "MSSQL_DATEFORMAT", ""));
    if (exec() != QDialog::Accepted)
        return false;
    StoreDateFormat(DateFormat->text());
    return true;
}

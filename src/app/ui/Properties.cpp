#include "app/ui/Properties.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/Data.h"
#include "platform/Errors.h"
#include "support/ErrorHandler.h"
#include "transfer/InsertBatch.h"

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
    BatchRows = new QSpinBox;
    BatchRows->setObjectName("BatchRows");
    BatchRows->setRange(1, 100000);
    BatchRows->setToolTip("How many rows go in one INSERT. 1 sends each row by itself; 1000 loads large "
                          "tables many times faster. Flows with generated identifiers or reference "
                          "translations always go row by row.");
    auto* batchLabel = new QLabel("Rows per INSERT:");
    batchLabel->setBuddy(BatchRows);
    form->addRow(batchLabel, BatchRows);

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
    int stored = 1;
    ReadBatchRows(TD::SettingsFile(), stored);
    BatchRows->setValue(stored);
    if (exec() != QDialog::Accepted)
        return false;
    if (BatchRows->value() != stored)
        D->IniWriteString(TD::SettingsFile(), "GENERAL", "BATCH_ROWS", QString::number(BatchRows->value()));
    D->BatchRows = BatchRows->value();
    StoreDateFormat(DateFormat->text());
    return true;
}

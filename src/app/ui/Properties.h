#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QSpinBox;

// The general settings the program writes: the destination's date format and the rows per INSERT.
class TFProperties : public QDialog {
    Q_OBJECT
public:
    explicit TFProperties(QWidget* parent = nullptr);

    // Shows the dialog modally; on OK stores the rows per INSERT, then the format, which it sends to the
    // destination at once.
    // The dialog releases itself afterwards. True when confirmed and stored.
    bool EditProperties();

    QLineEdit* DateFormat = nullptr;
    QSpinBox* BatchRows = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
};

// Runs the date format on the destination when it is not empty and stores it once it was accepted.
void StoreDateFormat(const QString& format);

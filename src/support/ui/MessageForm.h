#pragma once

#include <QDialog>
#include <QString>

#include "support/Answerer.h"

class QLineEdit;

// The system's own message dialog, built in code: fixed-width buttons with the system's captions,
// the message wrapped at half the screen width, centred on the screen.
class TMessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TMessageForm(QWidget* parent = nullptr);

    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int helpContext) { helpContext_ = helpContext; }
    // The modal result Escape and the close box give; -1 when no button plays that part.
    int CancelResult() const { return cancelResult_; }

    // Escape and the close box answer with the cancel button. Without one the operator has to press
    // a button, unless the form has no closing button at all, which closes with mrCancel.
    void reject() override;

signals:
    // The Help button: the form stays open.
    void HelpRequested(int helpContext);

private:
    friend TMessageForm* CreateMessageForm(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons);
    int helpContext_ = 0;
    int cancelResult_ = -1;
    bool hasClosingButton_ = false;
};

// A new, not yet shown form; the caller owns it.
TMessageForm* CreateMessageForm(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons);
// Shows the form modally (left at x and top at y when they are not negative) and returns the modal
// result of the closing button.
int ExecMessageDialogPos(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext,
                         int x, int y);

// The one-line text input dialog.
class TInputForm : public QDialog {
    Q_OBJECT
public:
    TInputForm(const QString& caption, const QString& prompt, const QString& value,
               QWidget* parent = nullptr);
    QString Value() const;

private:
    QLineEdit* edit_ = nullptr;
};

// True with value replaced by the edited text when closed with "&Ok"; false otherwise, value unchanged.
bool ShowInputDialog(const QString& caption, const QString& prompt, QString& value);

// Dialog units of a font: the average width of the 52 letters and the line height.
struct TDialogUnits {
    int x = 0;
    int y = 0;
    int Horz(int units) const;
    int Vert(int units) const;
};
TDialogUnits DialogUnitsOf(const QFont& font);

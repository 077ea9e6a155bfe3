#include "support/EnDial3.h"

int MessageDialogPos(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext, int x,
                     int y) {
    return Answerer().MessageDialog(text, type, buttons, helpContext, x, y);
}

void ShowError(const QString& text) {
    MessageDialogPos(text, mtError, mbOK, 0, -1, -1);
}

void ShowInfo(const QString& text) {
    MessageDialogPos(text, mtInformation, mbOK, 0, -1, -1);
}

int AskYesNo(const QString& text) {
    return MessageDialogPos(text, mtConfirmation, mbYes | mbNo, 0, -1, -1);
}

bool InputText(const QString& caption, const QString& prompt, QString& value) {
    return Answerer().InputText(caption, prompt, value);
}

void ShowMessage(const QString& text) {
    Answerer().PlainMessage(text);
}

#pragma once

#include <QString>

#include "support/Answerer.h"

// The system's message and input operations. They ask through the installed answerer, whose real
// implementation shows TMessageForm and the input dialog (support/ui/MessageForm.h).

int MessageDialogPos(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext, int x,
                     int y);
void ShowError(const QString& text);
void ShowInfo(const QString& text);
// 6 for Yes, 7 for No.
int AskYesNo(const QString& text);
bool InputText(const QString& caption, const QString& prompt, QString& value);
// The platform's plain message box.
void ShowMessage(const QString& text);

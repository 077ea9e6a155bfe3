#pragma once

#include "support/Answerer.h"

// The program's answerer: every question is put to the operator in a window.
class TRealAnswerer : public TAnswerer {
public:
    int MessageDialog(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext, int x,
                      int y) override;
    void PlainMessage(const QString& text) override;
    bool InputText(const QString& caption, const QString& prompt, QString& value) override;
    bool SaveFileName(const TSaveDialogRequest& request, QString& path) override;
    bool Login(const QString& dataSource, QString& userName, QString& password) override;
    bool ShellOpen(const QString& path) override;
};

// A file dialog filter in Qt's form: "Sql|*.SQL|Any|*.*" (description and patterns in pairs) becomes
// "Sql (*.SQL);;Any (*)"; a filter without '|' is taken as Qt's form already.
QString QtFileFilter(const QString& filter);

#pragma once

#include <QString>

// Every modal question the system asks the operator goes through one answerer. The program installs
// the real one (dialogs and message boxes); tests install a scripted one that records the questions
// and fails on any it was not told to expect, so no test waits on a person.

// Dialog types and button flags of the system's message dialog.
enum TMsgDlgType { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3, mtCustom = 4 };

enum TMsgDlgBtn : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
    mbAll = 1u << 7,
    mbNoToAll = 1u << 8,
    mbYesToAll = 1u << 9,
    mbHelp = 1u << 10,
};
using TMsgDlgButtons = unsigned;

// Modal results.
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

struct TSaveDialogRequest {
    QString title;
    QString defaultExt;
    QString initialName;
    QString filter;
    QString initialDir;
};

class TAnswerer {
public:
    virtual ~TAnswerer() = default;

    // The system's own message dialog; returns the modal result of the closing button.
    virtual int MessageDialog(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext,
                              int x, int y) = 0;
    // The platform's plain message box (one OK button).
    virtual void PlainMessage(const QString& text) = 0;
    // One-line text input; true with the new value on Ok, false leaves value unchanged.
    virtual bool InputText(const QString& caption, const QString& prompt, QString& value) = 0;
    // The save-file dialog; true with the chosen path, false when cancelled.
    virtual bool SaveFileName(const TSaveDialogRequest& request, QString& path) = 0;
    // The login prompt of a connection that asks for it, naming its ODBC data source; false when the
    // operator cancels.
    virtual bool Login(const QString& dataSource, QString& userName, QString& password) = 0;
    // Opens a file with the application associated with its type.
    virtual bool ShellOpen(const QString& path) = 0;
};

// The installed answerer. Asking with none installed is a programming error and throws.
TAnswerer& Answerer();
// Installs an answerer (not owned) and returns the previous one.
TAnswerer* SetAnswerer(TAnswerer* answerer);

#pragma once

#include <QStringList>

#include "support/Answerer.h"

// kelvo-run's answerer: every question the window would put to the operator gets a fixed answer, and
// every message goes to stderr (when quiet, all but the informative ones).
class TBatchAnswerer : public TAnswerer {
public:
    TBatchAnswerer(bool stopOnError, QString exportFile, bool quiet);

    int MessageDialog(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext, int x,
                      int y) override;
    void PlainMessage(const QString& text) override;
    bool InputText(const QString& caption, const QString& prompt, QString& value) override;
    // The export file of --export in place of the save dialog; false without one.
    bool SaveFileName(const TSaveDialogRequest& request, QString& path) override;
    // KELVO_DEST_USER / KELVO_DEST_PASSWORD when set, else the data source's own login.
    bool Login(const QString& dataSource, QString& userName, QString& password) override;
    bool ShellOpen(const QString& path) override;

    // Every message and question told so far, as written to stderr (also those a quiet run keeps back).
    const QStringList& Told() const { return told_; }

private:
    void Tell(const QString& text, bool always);

    QStringList told_;
    bool stopOnError_;
    QString exportFile_;
    bool quiet_;
};

#include "cli/BatchAnswerer.h"

#include "cli/ConsoleView.h"
#include "transfer/TransferFiles.h"

TBatchAnswerer::TBatchAnswerer(bool stopOnError, QString exportFile, bool quiet)
    : stopOnError_(stopOnError), exportFile_(std::move(exportFile)), quiet_(quiet) {}

int TBatchAnswerer::MessageDialog(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int, int,
                                  int) {
    if (!(buttons & mbYes) || !(buttons & mbNo)) {
        Tell(OneLine(text), type != mtInformation);
        return buttons & mbOK ? mrOk : mrCancel;
    }
    int answer = mrNo;
    if (text.endsWith("Continue?")) {
        answer = stopOnError_ ? mrNo : mrYes;
    } else if (text.contains("Do you want to end application?")) {
        answer = mrYes; // nobody is there to go on without a connection
    }
    Tell(OneLine(text) + (answer == mrYes ? " Yes" : " No"), true);
    return answer;
}

void TBatchAnswerer::Tell(const QString& text, bool always) {
    told_ << text;
    if (always || !quiet_)
        ConsoleLine(text);
}

void TBatchAnswerer::PlainMessage(const QString& text) {
    Tell(OneLine(text), true);
}

bool TBatchAnswerer::InputText(const QString& caption, const QString& prompt, QString&) {
    Tell(QString("%1: %2 (no input without a window)").arg(caption, prompt), true);
    return false;
}

bool TBatchAnswerer::SaveFileName(const TSaveDialogRequest&, QString& path) {
    if (exportFile_.isEmpty())
        return false;
    path = exportFile_;
    return true;
}

bool TBatchAnswerer::Login(const QString&, QString& userName, QString& password) {
    // userName arrives as the data source's own user and password empty, so the data source's own
    // password applies unless the environment names a login.
    if (qEnvironmentVariableIsSet("KELVO_DEST_USER"))
        userName = qEnvironmentVariable("KELVO_DEST_USER");
    if (qEnvironmentVariableIsSet("KELVO_DEST_PASSWORD"))
        password = qEnvironmentVariable("KELVO_DEST_PASSWORD");
    return true;
}

bool TBatchAnswerer::ShellOpen(const QString& path) {
    Tell(QString("Not opened without a window: %1").arg(path), false);
    return false;
}

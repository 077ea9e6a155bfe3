#include "support/ui/RealAnswerer.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QUrl>

#include "support/ui/LoginDialog.h"
#include "support/ui/MessageForm.h"

QString QtFileFilter(const QString& filter) {
    if (!filter.contains('|'))
        return filter;
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        // "*.*" also means files without an extension.
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == "*.*")
                p = "*";
        }
        filters << parts[i].trimmed() + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

int TRealAnswerer::MessageDialog(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons,
                                 int helpContext, int x, int y) {
    return ExecMessageDialogPos(text, type, buttons, helpContext, x, y);
}

void TRealAnswerer::PlainMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok);
    box.setObjectName("PlainMessage");
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool TRealAnswerer::InputText(const QString& caption, const QString& prompt, QString& value) {
    return ShowInputDialog(caption, prompt, value);
}

bool TRealAnswerer::SaveFileName(const TSaveDialogRequest& request, QString& path) {
    QFileDialog dialog(nullptr, request.title, request.initialDir, QtFileFilter(request.filter));
    dialog.setObjectName("SaveDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultExt);
    // The chosen file is extended, never replaced, so there is no overwrite to confirm; only Qt's own
    // dialog honours that option everywhere.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (!request.initialName.isEmpty())
        dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = dialog.selectedFiles().constFirst();
    return true;
}

bool TRealAnswerer::Login(const QString& dataSource, QString& userName, QString& password) {
    return ShowLoginDialog(dataSource, userName, password);
}

bool TRealAnswerer::ShellOpen(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

#include "app/SourceLogin.h"

#include "app/Data.h"
#include "support/Answerer.h"
#include "support/DBgesloKELVO.h"
#include "support/EnDial3.h"
#include "support/ErrorHandler.h"

void AskSourceLogin() {
    QString user = D->UserName, password;
    if (!Answerer().Login(D->DBS.AliasName, user, password))
        return;
    QString path;
    try {
        path = WriteSourceLogin(user, password);
    } catch (const std::exception& error) {
        ShowMessage(ErrorMessage(error) + "\n\nThe source login was not stored.");
        return;
    }
    D->UserName = user;
    D->Password = password;
    const QString stored = QString("The source login is stored in %1.").arg(path);
    // An open connection is left alone: flows and translations may be reading through it.
    if (D->DBS.Connected()) {
        ShowMessage(stored + " The source stays connected with its earlier login until the program starts "
                             "again.");
        return;
    }
    try {
        D->OpenSource();
        ShowMessage(stored + QString(" The source (data source %1) is now connected.").arg(D->DBS.AliasName));
    } catch (const std::exception& error) {
        ShowMessage(stored + QString("\n\nThe source (data source %1) did not open with it:\n%2")
                                 .arg(D->DBS.AliasName, ErrorMessage(error)));
    }
}

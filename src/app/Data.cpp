#include "app/Data.h"

#include "app/RunStart.h"
#include "platform/IniFile.h"
#include "platform/ProgramDir.h"
#include "query/ServerWait.h"
#include "support/DBgesloKELVO.h"
#include "support/EnDial3.h"
#include "support/ErrorHandler.h"
#include "transfer/InsertBatch.h"

TD* D = nullptr;

TD::TD() {
    DBS.DatabaseName = "DBSource";
    DBS.AliasName = "XQ";
    DBS.LoginPrompt = false;
    DBS.KeepConnection = true;
    DBD.DatabaseName = "DBDest";
    DBD.AliasName = "DnsDest";
    DBD.LoginPrompt = true;
    // Stored as configured, but an opened destination is held open for the rest of the program so the
    // operator logs in once and the date format stays in force.
    DBD.KeepConnection = false;
    Qr.DatabaseName = DBD.DatabaseName;
    ConnectionSequence();
}

TD::~TD() {
    Qr.Close();
    DBS.Close();
    DBD.Close();
    if (D == this)
        D = nullptr;
}

QString TD::SettingsFile() {
    return ProgramDir() + "TransferSettings.ini";
}

void TD::ConnectionSequence() {
    FlowsIni = FlowIndexPath();
    QString scripting, limitProblems, dateFormat;
    try {
        scripting = IniReadString(SettingsFile(), "GENERAL", "SCRIPTING", "Y");
        limitProblems = ReadTimeLimits(SettingsFile());
        const QString batchProblem = ReadBatchRows(SettingsFile(), BatchRows);
        if (!batchProblem.isEmpty())
            limitProblems += (limitProblems.isEmpty() ? "" : "\n") + batchProblem;
        dateFormat = IniReadString(SettingsFile(), "GENERAL", "MSSQL_DATEFORMAT", "");
    } catch (const std::exception& error) {
        // Guessing the mode could send to the destination what was meant for a file, or the reverse.
        ShowMessage(ErrorMessage(error) + "\n\nThe settings of " + SettingsFile() +
                    " cannot be read, so the program cannot tell whether to write an export file or to "
                    "execute the statements on the destination. Correct or remove the file and start again.");
        TerminateRequested = true;
        return;
    }
    Scripting = scripting == "Y";
    if (!limitProblems.isEmpty())
        ShowMessage(limitProblems);
    try {
        if (!Scripting)
            DBD.Open();
        ReadLogin();
        OpenSource();
    } catch (const std::exception& error) {
        ShowMessage(ErrorMessage(error));
        if (AskYesNo("No database connection. Do you want to end application?") == mrYes)
            TerminateRequested = true;
    }
    if (!dateFormat.isEmpty() && DBD.Connected() && !Scripting)
        RunGuarded([&] { ApplyDateFormat(dateFormat); });
}

void TD::OpenSource() {
    DBS.Close();
    DBS.Params.clear();
    DBS.Params << "USER NAME=" + UserName << "PASSWORD=" + Password;
    DBS.Open();
}

void TD::ApplyDateFormat(const QString& format) {
    Qr.Close();
    Qr.SQL.clear();
    Qr.SQL << "set dateformat " + format;
    Qr.ExecSQL();
}

bool TD::IniEraseSection(const QString& file, const QString& section) {
    ::IniEraseSection(file, section);
    return true;
}

bool TD::IniDeleteKey(const QString& file, const QString& section, const QString& key) {
    ::IniDeleteKey(file, section, key);
    return true;
}

bool TD::ReadLogin() {
    QString databaseName, modeText;
    ReadLoginSettings(databaseName, UserName, Password, modeText);
    return true;
}

QString TD::IniReadString(const QString& file, const QString& section, const QString& key,
                          const QString& def) {
    return ::IniReadString(file, section, key, def);
}

bool TD::IniReadSectionValues(const QString& file, const QString& section, QStringList& list) {
    ::IniReadSectionValues(file, section, list);
    return true;
}

void TD::IniWriteString(const QString& file, const QString& section, const QString& key,
                        const QString& value) {
    ::IniWriteString(file, section, key, value);
}

bool TD::IniWriteSection(const QString& file, const QString& section, const QStringList& list) {
    ::IniWriteSection(file, section, list);
    return true;
}

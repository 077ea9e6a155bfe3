#pragma once

#include <QString>
#include <QStringList>

#include "query/Database.h"

// The data module: the two connections, the utility query on the destination, the settings shared by
// every window, and the INI operations through which all settings and definitions are read and written.
class TD {
public:
    // Runs the connection sequence; questions go through the installed answerer.
    TD();
    ~TD();
    TD(const TD&) = delete;
    TD& operator=(const TD&) = delete;

    TDatabase DBS;
    TDatabase DBD;
    TQuery Qr;
    QString FlowsIni;
    QString UserName;
    QString Password;
    bool Scripting = true;
    int BatchRows = 1; // BATCH_ROWS of TransferSettings.ini
    QString ContractFilter;
    // Set when the operator chose to end the program after a failed connection; the program quits as
    // soon as its event loop starts.
    bool TerminateRequested = false;

    bool IniEraseSection(const QString& file, const QString& section);
    bool IniDeleteKey(const QString& file, const QString& section, const QString& key);
    bool ReadLogin();
    // Opens the source anew with UserName and Password; an empty user leaves the data source's own.
    void OpenSource();
    QString IniReadString(const QString& file, const QString& section, const QString& key,
                          const QString& def);
    bool IniReadSectionValues(const QString& file, const QString& section, QStringList& list);
    void IniWriteString(const QString& file, const QString& section, const QString& key,
                        const QString& value);
    bool IniWriteSection(const QString& file, const QString& section, const QStringList& list);

    // Program directory + "TransferSettings.ini".
    static QString SettingsFile();
    // Sends "set dateformat " + format to the destination through Qr.
    void ApplyDateFormat(const QString& format);

private:
    void ConnectionSequence();
};

// The single instance, alive from start-up to the end of the program.
extern TD* D;

#include "app/RunStart.h"

#include "app/Data.h"
#include "flows/FlowFile.h"
#include "flows/FlowScripts.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"
#include "platform/ProgramDir.h"
#include "platform/TextFile.h"
#include "support/ListOrder.h"
#include "transfer/RecordCopy.h"
#include "translations/Translate.h"

QString FlowIndexPath() {
    return ProgramDir() + "Files/Flows.ini";
}

QStringList IndexLines(const QString& flowsIni, const QString& section) {
    QStringList lines;
    IniReadSectionValues(flowsIni, section, lines);
    return lines;
}

QStringList IndexNames(const QString& flowsIni, const QString& section) {
    QStringList names = IndexLines(flowsIni, section);
    for (QString& line : names)
        line = LineName(line);
    return SortedLines(names);
}

QStringList StartTransferFlows(const QString& flowsIni) {
    return IndexNames(flowsIni, "Name");
}

void RequireFilter(const QString& filter) {
    if (filter.isEmpty())
        throw EKelvoError("Napaka filter za pogodbe je prazen.");
}

TRunSettings RunSettingsFromData() {
    TRunSettings settings;
    if (D) {
        settings.SourceDatabase = D->DBS.DatabaseName;
        settings.DestDatabase = D->DBD.DatabaseName;
        settings.Scripting = D->Scripting;
        settings.BatchRows = D->BatchRows;
    }
    settings.ContractFilter = [] { return D ? D->ContractFilter : QString(); };
    return settings;
}

void CheckRunFiles(const QStringList& flows) {
    CheckTextFile(ProgramDir() + "Login.ini");
    for (const QString& name : flows) {
        const TFlowData flow = ReadFlowData(name);
        for (const QString& line : flow.Trans)
            if (const QString translation = LineValue(line);
                !translation.isEmpty() && translation != GenIdName)
                CheckTextFile(TranslationPath(translation));
        for (const char* suffix : {SourceInitSuffix, DestInitSuffix, SourceFinalSuffix, DestFinalSuffix})
            CheckTextFile(ScriptPath(name, suffix));
    }
}

#include "flows/FlowFile.h"

#include <QFileInfo>

#include "platform/Errors.h"
#include "platform/IniFile.h"
#include "platform/ProgramDir.h"

QString FlowSavePath(const QString& flowName) {
    return ProgramDir() + "Files/" + flowName + ".INI";
}

QString FlowTransferPath(const QString& flowName) {
    // The run asks for ".ini" while the wizard writes ".INI": trying both spellings spares the
    // folder listing that a case-insensitive match costs in a folder of many flows.
    const QString base = ProgramDir() + "Files/" + flowName;
    const QString asked = base + ".ini";
    if (QFileInfo::exists(asked))
        return asked;
    const QString written = base + ".INI";
    return QFileInfo::exists(written) ? written : asked;
}

void CheckFlowName(const QString& flowName) {
    if (flowName.trimmed().isEmpty())
        throw EKelvoError("The flow needs a name.");
    if (flowName != flowName.trimmed())
        throw EKelvoError(QString("The flow name \"%1\" may not begin or end with a blank.").arg(flowName));
    // '=' and brackets would break the flow's key in the index; the rest cannot stand in a file name.
    static const QString forbidden = "/\\:*?\"<>|=[]";
    for (const QChar c : flowName) {
        if (forbidden.contains(c) || c.unicode() < 32)
            throw EKelvoError(
                QString("The flow name \"%1\" cannot be used as a file name: it holds the character "
                        "\"%2\".")
                    .arg(flowName, c.unicode() < 32 ? QString("\\x%1").arg(c.unicode(), 2, 16, QChar('0'))
                                                    : QString(c)));
    }
    if (flowName == "." || flowName == "..")
        throw EKelvoError(QString("The flow name \"%1\" cannot be used as a file name.").arg(flowName));
}

QString JoinSourceLines(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += ' ' + line;
    return text;
}

bool SaveFlow(const TFlowDefinition& flow, const QString& flowsIni) {
    CheckFlowName(flow.Name);
    const QString file = FlowSavePath(flow.Name);
    IniWriteString(file, "DATA", "NAME", flow.Name);
    const QString source = JoinSourceLines(flow.SourceLines);
    IniWriteString(file, "DATA", "SQL", flow.Sql ? "Y" : "N");
    IniWriteString(file, "SOURCE", "NAME", source);
    IniWriteString(file, "TARGET", "NAME", flow.TargetTable);
    IniWriteSection(file, "FIELDS", flow.MapFieldList);
    IniWriteSection(file, "TRANS", flow.TransList);
    IniWriteString(flowsIni, "NAME", flow.Name, flow.Name + ".INI");
    IniEraseSection(file, "DEPENDENT");
    for (const QString& dependent : flow.DependentFlows)
        IniWriteString(file, "DEPENDENT", dependent, dependent);
    return true;
}

TFlowDefinition ReadFlowFile(const QString& file) {
    TFlowDefinition flow;
    flow.Name = IniReadString(file, "DATA", "NAME", "");
    flow.SourceLines = QStringList{IniReadString(file, "SOURCE", "NAME", "")};
    flow.Sql = IniReadString(file, "DATA", "SQL", "N") == "Y";
    flow.TargetTable = IniReadString(file, "TARGET", "NAME", "");
    IniReadSectionValues(file, "FIELDS", flow.MapFieldList, TKeyBudget::Whole);
    IniReadSectionValues(file, "TRANS", flow.TransList, TKeyBudget::Whole);
    IniReadSectionValues(file, "DEPENDENT", flow.DependentFlows, TKeyBudget::Whole);
    for (QString& line : flow.DependentFlows)
        line = LineName(line);
    return flow;
}

TFlowDefinition LoadFlow(const QString& flowName, const QString& flowsIni, bool* fileFound) {
    const QString indexed = IniReadString(flowsIni, "NAME", flowName, "");
    if (fileFound)
        *fileFound = !indexed.isEmpty();
    if (indexed.isEmpty()) {
        TFlowDefinition empty;
        empty.SourceLines = QStringList{QString()};
        return empty;
    }
    return ReadFlowFile(ProgramDir() + "FIles/" + indexed);
}

#pragma once

#include <QString>
#include <QStringList>

#include "support/ListOrder.h"

// A flow's definition as the wizard edits it and the definition file stores it.
struct TFlowDefinition {
    QString Name;            // the name box text (upper case)
    bool Sql = false;        // the source is an SQL statement
    QStringList SourceLines; // source memo lines; a loaded definition holds the stored text as one line
    QString TargetTable;
    QStringList MapFieldList;   // DESTINATION=EXPRESSION, in mapping order
    QStringList TransList;      // DESTINATION=translation name or GEN_ID
    QStringList DependentFlows; // flow names, sorted
};

// Program directory + "Files/" + name + ".INI", as the wizard saves it.
QString FlowSavePath(const QString& flowName);
// Program directory + "Files/" + name + ".ini", as the transfer forms it from the name alone.
QString FlowTransferPath(const QString& flowName);

// Refuses a name no definition file can carry: empty, or holding a character file names or the flow
// index cannot hold. Raises EKelvoError with the reason.
void CheckFlowName(const QString& flowName);

// The stored source text: one blank before every memo line, line breaks dropped.
QString JoinSourceLines(const QStringList& lines);

// Writes the definition file and registers the flow in the index, in the order the wizard's save does.
// Raises "Unable to write to %s" when a write fails; what was written before stays.
bool SaveFlow(const TFlowDefinition& flow, const QString& flowsIni);

// Reads the definition found under flowName in the index. A flow missing from the index, or whose
// file is missing, reads as an empty definition. fileFound tells whether the index named a file.
TFlowDefinition LoadFlow(const QString& flowName, const QString& flowsIni, bool* fileFound = nullptr);

// Reads a definition from an explicit file (the transfer's path).
TFlowDefinition ReadFlowFile(const QString& file);

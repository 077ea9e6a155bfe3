#pragma once

#include <QString>
#include <QStringList>

#include "transfer/TransferRun.h"

// What starting a run needs besides the run itself, the same for the window and for kelvo-run: the
// definitions index as the main window lists it, the filter requirement and the data module's settings.

// Program directory + "Files/Flows.ini".
QString FlowIndexPath();
// The KEY=VALUE lines of a section of the index, in file order.
QStringList IndexLines(const QString& flowsIni, const QString& section);
// The names (text before the first '=') of a section's lines, sorted as the lists show them.
QStringList IndexNames(const QString& flowsIni, const QString& section);
// The flows "Start transfer" runs: every flow of the index, in list order.
QStringList StartTransferFlows(const QString& flowsIni);

// Raises "Napaka filter za pogodbe je prazen." when the filter is empty; a blank counts as set.
void RequireFilter(const QString& filter);

// The connections, mode and filter of the data module D, for a transfer.
TRunSettings RunSettingsFromData();

// Raises, naming the file and the reason, when a file the run would read is there but is no readable
// text file: Login.ini, the flows' definition files, their translation files and scripts. Missing files
// are no error here; they read as the run reads them.
void CheckRunFiles(const QStringList& flows);

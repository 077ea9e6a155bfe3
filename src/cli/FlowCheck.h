#pragma once

#include <QString>
#include <QStringList>

// Whether each flow of a run could run, found without touching data or running a script: its definition
// file, the translation and script files it reads, dependencies the run's order could never meet among
// flows, and its tables and columns on the connections of D. A line per flow, "NAME: ok" or
// "NAME: the reason"; allOk is false when a flow cannot run.
QString CheckFlows(const QStringList& flows, const QString& index, bool& allOk);

#pragma once

#include <QString>
#include <QStringList>

// Constants live as ID=value lines in [CONSTANTS] of the definitions index; the main window's sorted
// working list is what the transfer resolves from.

// Sorts lines alphabetically without regard to letter case, as the main window's lists keep them.
void SortLines(QStringList& lines);

// Sets ID=value in a sorted list: replaces the first line named ID (any case) or appends one; an empty
// value removes that line instead. The list is sorted again afterwards.
void SetListEntry(QStringList& list, const QString& id, const QString& value);

// The value of the first line whose name equals name without regard to case; empty when none.
QString ListValue(const QStringList& list, const QString& name);

// The value of a CONST(ID) mapping from the list; empty (and no message) when the ID is unknown.
QString ResolveConstant(const QString& mappingValue, const QStringList& constList);

// Asks for an ID and a value, sets the list entry and writes the store. False when cancelled. On
// success id receives the ID as typed.
bool NewConstant(QStringList& constList, const QString& flowsIni, QString* id = nullptr);

// Asks for a new value of the constant on line selected (nothing when selected < 0), sets the list
// entry and writes the store. False when there is no selection or the operator cancels.
bool EditConstant(QStringList& constList, int selected, const QString& flowsIni);

#pragma once

#include <QString>
#include <QStringList>

#include "support/ListOrder.h"

// Constants live as ID=value lines in [CONSTANTS] of the definitions index; the main window's sorted
// working list is what the transfer resolves from.

// Sets ID=value in a sorted list: replaces the first line named ID (any case) or appends one; an empty
// value removes that line instead. The list is sorted again afterwards.
void SetListEntry(QStringList& list, const QString& id, const QString& value);

// CONST(ID) mappings: the prefix test ignores case; the identifier is everything between the sixth
// character and the last one, untrimmed.
bool IsConstExpression(const QString& expression);
QString ConstIdentifier(const QString& expression);

// The value of a CONST(ID) mapping from the list; empty (and no message) when the ID is unknown.
QString ResolveConstant(const QString& mappingValue, const QStringList& constList);

// Asks for an ID and a value, sets the list entry and writes the store. False when cancelled. On
// success id receives the ID as typed.
bool NewConstant(QStringList& constList, const QString& flowsIni, QString* id = nullptr);

// Asks for a new value of the constant on line selected (nothing when selected < 0), sets the list
// entry and writes the store. False when there is no selection or the operator cancels.
bool EditConstant(QStringList& constList, int selected, const QString& flowsIni);

#pragma once

#include <QString>
#include <QStringList>

class TQuery;

// The wizard's four mapping lists, as the buttons of its mapping page change them.
struct TMappingLists {
    QStringList From;  // source columns; never changed by a button
    QStringList To;    // destination columns not yet mapped
    QStringList Map;   // DESTINATION=EXPRESSION, in the order made
    QStringList Trans; // DESTINATION=translation name or GEN_ID
};

// Each button takes the selected rows (-1: none) and does nothing when what it needs is not selected.
// A made line goes to the end of Map and its destination leaves To. True when something changed.
bool MapAdd(TMappingLists& lists, int fromRow, int toRow);
// Maps every source column that has a destination of the same name (any case), last source first.
bool MapAddEqual(TMappingLists& lists);
// TO=FROM, and the translation entry of TO set to the name (an empty name removes it).
bool MapTranslate(TMappingLists& lists, int fromRow, int toRow, const QString& translation);
bool MapConstant(TMappingLists& lists, int toRow, const QString& identifier);
bool MapId(TMappingLists& lists, int fromRow, int toRow);
// Drops the mapping line, its translation entry, and returns its destination to the end of To.
bool MapRemove(TMappingLists& lists, int mapRow);
// The translation entry of a mapping line's destination; empty when there is none or no line.
QString MappingTranslation(const TMappingLists& lists, int mapRow);
// A loaded definition's mappings: their destinations leave To, the lines go to the end of Map.
void AppendLoadedMappings(TMappingLists& lists, const QStringList& fields);

// NAME=VALUE semantics without sorting: replaces the first line of that name (any case) or appends
// one; an empty value removes the line instead.
void SetLineValue(QStringList& list, const QString& name, const QString& value);
// Removes the first line equal to text without regard to case; true when one was there.
bool RemoveLineIgnoringCase(QStringList& list, const QString& text);

// The lines of a memo's text; a last empty line does not count, so an empty memo has none.
QStringList MemoLines(const QString& text);

// Empties the list, then adds the name of each column of the open query, in column order.
bool FeedFieldsToList(TQuery& query, QStringList& list);

// What the column lists are filled from.
struct TFieldListSource {
    QStringList MemoLines;
    bool Sql = false;
    QString TargetTable;
    QString SourceDatabase;
    QString DestDatabase;
    bool Scripting = false;
    QString ContractFilter;
};

// Opens the source (a table, or the statement with "%FILTERPOG%" replaced) and the destination table
// and lists their columns; in scripting mode the destination list takes the source's columns. from is
// filled before the destination is opened, so it keeps its new content when that fails.
void FillFieldLists(const TFieldListSource& source, QStringList& from, QStringList& to);

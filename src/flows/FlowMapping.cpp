#include "flows/FlowMapping.h"

#include "flows/FlowFile.h"
#include "query/LangQuery.h"
#include "translations/Constants.h"

namespace {

bool Selected(const QStringList& list, int row) {
    return row >= 0 && row < list.size();
}

// Appends TO=expression and takes TO out of the unmapped destinations.
void MakeLine(TMappingLists& lists, int toRow, const QString& expression) {
    lists.Map << lists.To[toRow] + "=" + expression;
    lists.To.removeAt(toRow);
}

} // namespace

bool MapAdd(TMappingLists& lists, int fromRow, int toRow) {
    if (!Selected(lists.From, fromRow) || !Selected(lists.To, toRow))
        return false;
    MakeLine(lists, toRow, lists.From[fromRow]);
    return true;
}

bool MapAddEqual(TMappingLists& lists) {
    bool changed = false;
    for (int source = int(lists.From.size()) - 1; source >= 0; --source) {
        for (int dest = int(lists.To.size()) - 1; dest >= 0; --dest) {
            if (lists.To[dest].compare(lists.From[source], Qt::CaseInsensitive) == 0) {
                MakeLine(lists, dest, lists.From[source]);
                changed = true;
                break;
            }
        }
    }
    return changed;
}

bool MapTranslate(TMappingLists& lists, int fromRow, int toRow, const QString& translation) {
    if (!Selected(lists.From, fromRow) || !Selected(lists.To, toRow))
        return false;
    const QString dest = lists.To[toRow];
    MakeLine(lists, toRow, lists.From[fromRow]);
    SetLineValue(lists.Trans, dest, translation);
    return true;
}

bool MapConstant(TMappingLists& lists, int toRow, const QString& identifier) {
    if (!Selected(lists.To, toRow))
        return false;
    MakeLine(lists, toRow, "CONST(" + identifier + ")");
    return true;
}

bool MapId(TMappingLists& lists, int fromRow, int toRow) {
    return MapTranslate(lists, fromRow, toRow, "GEN_ID");
}

bool MapRemove(TMappingLists& lists, int mapRow) {
    if (!Selected(lists.Map, mapRow))
        return false;
    const QString dest = LineName(lists.Map[mapRow]);
    for (int i = 0; i < lists.Trans.size(); ++i) {
        if (LineName(lists.Trans[i]) == dest) {
            lists.Trans.removeAt(i);
            break;
        }
    }
    lists.To << dest;
    lists.Map.removeAt(mapRow);
    return true;
}

QString MappingTranslation(const TMappingLists& lists, int mapRow) {
    if (!Selected(lists.Map, mapRow))
        return QString();
    return ListValue(lists.Trans, LineName(lists.Map[mapRow]));
}

void AppendLoadedMappings(TMappingLists& lists, const QStringList& fields) {
    for (const QString& line : fields)
        RemoveLineIgnoringCase(lists.To, LineName(line));
    lists.Map << fields;
}

void SetLineValue(QStringList& list, const QString& name, const QString& value) {
    for (int i = 0; i < list.size(); ++i) {
        if (LineName(list[i]).compare(name, Qt::CaseInsensitive) == 0) {
            if (value.isEmpty())
                list.removeAt(i);
            else
                list[i] = name + "=" + value;
            return;
        }
    }
    if (!value.isEmpty())
        list << name + "=" + value;
}

bool RemoveLineIgnoringCase(QStringList& list, const QString& text) {
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].compare(text, Qt::CaseInsensitive) == 0) {
            list.removeAt(i);
            return true;
        }
    }
    return false;
}

QStringList MemoLines(const QString& text) {
    QString normalised = text;
    normalised.replace("\r\n", "\n");
    QStringList lines = normalised.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool FeedFieldsToList(TQuery& query, QStringList& list) {
    list.clear();
    for (int i = 0; i < query.FieldCount(); ++i)
        list << query.Fields(i).FieldName;
    return true;
}

void FillFieldLists(const TFieldListSource& source, QStringList& from, QStringList& to) {
    TLangQuery query;
    query.DatabaseName = source.SourceDatabase;
    query.SQL.clear();
    const QString first = source.MemoLines.value(0);
    if (first.left(6).toUpper() != "SELECT")
        query.FromClause = first;
    else
        query.SQL << source.MemoLines;
    query.Columns = "*";
    if (source.Sql) {
        for (QString& line : query.SQL)
            line.replace("%FILTERPOG%", source.ContractFilter, Qt::CaseInsensitive);
        query.Open();
    } else {
        query.OpenSelect();
    }
    FeedFieldsToList(query, from);
    if (source.Scripting) {
        FeedFieldsToList(query, to);
    } else {
        query.Close();
        query.SQL.clear();
        query.DatabaseName = source.DestDatabase;
        query.FromClause = source.TargetTable;
        query.Columns = "*";
        query.OpenSelect();
        FeedFieldsToList(query, to);
    }
    query.Close();
}

#include "translations/Constants.h"

#include <algorithm>

#include "platform/IniFile.h"
#include "support/EnDial3.h"

bool IsConstExpression(const QString& expression) {
    return expression.startsWith(QLatin1String("CONST("), Qt::CaseInsensitive);
}

QString ConstIdentifier(const QString& expression) {
    if (!IsConstExpression(expression))
        return QString();
    return expression.mid(6, expression.size() - 7);
}

void SetListEntry(QStringList& list, const QString& id, const QString& value) {
    const int index = IndexOfName(list, id);
    if (value.isEmpty()) {
        if (index >= 0)
            list.removeAt(index);
    } else if (index >= 0) {
        list[index] = id + "=" + value;
    } else {
        list.append(id + "=" + value);
    }
    SortLines(list);
}

QString ResolveConstant(const QString& mappingValue, const QStringList& constList) {
    // Looked up for every row: the identifier is not copied out of the mapping.
    if (!IsConstExpression(mappingValue))
        return ListValue(constList, QStringView());
    return ListValue(constList, QStringView(mappingValue).mid(6, mappingValue.size() - 7));
}

bool NewConstant(QStringList& constList, const QString& flowsIni, QString* idOut) {
    QString id;
    if (!InputText("Supply Constant ID", "Constant ID:", id))
        return false;
    QString value;
    if (!InputText("Supply Constant value", "Constant value:", value))
        return false;
    SetListEntry(constList, id, value);
    IniWriteString(flowsIni, "CONSTANTS", id, value);
    if (idOut)
        *idOut = id;
    return true;
}

bool EditConstant(QStringList& constList, int selected, const QString& flowsIni) {
    if (selected < 0 || selected >= constList.size())
        return false;
    const QString id = LineName(constList[selected]);
    QString value = ListValue(constList, id);
    if (!InputText("Supply Constant value", "Constant value:", value))
        return false;
    SetListEntry(constList, id, value);
    IniWriteString(flowsIni, "CONSTANTS", id, value);
    return true;
}

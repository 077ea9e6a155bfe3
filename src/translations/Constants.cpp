#include "translations/Constants.h"

#include <algorithm>

#include "flows/FlowFile.h"
#include "platform/IniFile.h"
#include "support/EnDial3.h"

void SortLines(QStringList& lines) {
    std::stable_sort(lines.begin(), lines.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
}

static int IndexOfName(const QStringList& list, const QString& name) {
    for (int i = 0; i < list.size(); ++i) {
        if (LineName(list[i]).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
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

QString ListValue(const QStringList& list, const QString& name) {
    const int index = IndexOfName(list, name);
    return index < 0 ? QString() : LineValue(list[index]);
}

QString ResolveConstant(const QString& mappingValue, const QStringList& constList) {
    const QString id = ConstIdentifier(mappingValue);
    return ListValue(constList, id);
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

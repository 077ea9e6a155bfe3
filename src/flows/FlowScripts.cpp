#include "flows/FlowScripts.h"

#include <QCoreApplication>
#include <QFile>

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
#include "platform/TextFile.h"
#include "query/LangQuery.h"
#include "support/Answerer.h"
#include "support/EnDial3.h"
#include "support/ErrorHandler.h"

QString ScriptPath(const QString& flowName, const QString& suffix) {
    return ProgramDir() + "Files/" + flowName + suffix;
}

void EditScript(const QString& fileName) {
    const QString path = ResolvePath(fileName);
    if (!QFile::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            throw EKelvoError(QString("Cannot create file %1").arg(fileName));
        file.close();
    }
    Answerer().ShellOpen(path);
}

bool RunScript(const QString& databaseName, const QString& fileName, TLangQuery& tbl) {
    tbl.DatabaseName = databaseName;
    QStringList lines;
    try {
        lines = ReadTextLines(fileName);
    } catch (const EKelvoError&) {
        return false;
    }
    for (int i = int(lines.size()) - 1; i >= 0; --i) {
        if (lines[i].startsWith("/*"))
            lines.removeAt(i);
    }
    tbl.SQL.clear();
    QStringList log{fileName};
    for (const QString& line : lines) {
        if (line.toUpper() == "GO") {
            try {
                tbl.ExecModify();
            } catch (const std::exception& error) {
                ShowError(ErrorMessage(error));
            }
            QCoreApplication::processEvents();
            tbl.SQL.clear();
        } else {
            tbl.SQL << line;
        }
    }
    log << ScriptDoneText;
    WriteTextLines(fileName + ".log", log);
    return true;
}

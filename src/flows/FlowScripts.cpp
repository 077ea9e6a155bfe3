#include "flows/FlowScripts.h"

#include <QCoreApplication>
#include <QFile>

#include "platform/Errors.h"
#include "platform/PathWatch.h"
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

bool RunScriptStatements(const QString& path, TScriptSplit split,
                         const std::function<void(const QStringList& statement, QStringList& log)>& run) {
    QStringList lines;
    try {
        lines = ReadTextLines(path);
    } catch (const EKelvoError&) {
        return false;
    }
    lines.removeIf([](const QString& line) { return line.startsWith("/*"); });
    QStringList log{path};
    QStringList statement;
    try {
        for (const QString& line : lines) {
            if (split == TScriptSplit::GoLines) {
                if (line.toUpper() != "GO") {
                    statement << line;
                    continue;
                }
            } else {
                const QString trimmed = TrimControl(line);
                if (!trimmed.endsWith(';')) {
                    statement << line;
                    continue;
                }
                statement << trimmed.left(trimmed.size() - 1);
            }
            run(statement, log);
            statement.clear();
            // The window's messages, between statements: others' code, which may change any path.
            const TOthersCodeScope others;
            QCoreApplication::processEvents();
        }
    } catch (...) {
        WriteTextLines(path + ".log", log);
        throw;
    }
    log << ScriptDoneText;
    WriteTextLines(path + ".log", log);
    return true;
}

bool RunScript(const QString& databaseName, const QString& fileName, TLangQuery& tbl) {
    tbl.DatabaseName = databaseName;
    return RunScriptStatements(fileName, TScriptSplit::GoLines,
                               [&](const QStringList& statement, QStringList&) {
                                   tbl.SQL = statement;
                                   try {
                                       tbl.ExecModify();
                                   } catch (const std::exception& error) {
                                       ShowError(ErrorMessage(error));
                                   }
                                   tbl.SQL.clear();
                               });
}

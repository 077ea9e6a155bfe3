#include "transfer/TransferFiles.h"

#include <QRegularExpression>

#include "flows/FlowScripts.h"
#include "platform/DateTime.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
#include "platform/TextFile.h"
#include "query/LangQuery.h"
#include "support/ErrorHandler.h"

namespace {

QString Bound(const QString& path) {
    if (path.trimmed().isEmpty() || path.contains(QChar(0)))
        return ProgramDir() + "Logfile.txt";
    return path;
}

std::vector<TScriptFailure> RunPair(const QString& flowName, const char* sourceSuffix, const char* destSuffix,
                                    const QString& sourceDatabase, TLangQuery& tbl,
                                    const TScriptTarget& target) {
    std::vector<TScriptFailure> failures;
    for (const auto& [path, database] :
         {std::pair{ScriptPath(flowName, sourceSuffix), sourceDatabase},
          std::pair{ScriptPath(flowName, destSuffix), target.DestDatabaseName}}) {
        int failed = 0;
        if (FileExists(path) && RunTransferScript(database, path, tbl, target, &failed) && failed > 0)
            failures.push_back({path, failed});
    }
    return failures;
}

} // namespace

void AppendLogLine(const QString& path, const QString& line) {
    AppendTextLine(Bound(path), line);
}

void AppendFailedStatement(const QString& path, const QStringList& lines, const QString& flow,
                           const QString& reason, const QString& separator) {
    if (lines.isEmpty())
        return;
    const QString when = DaysToDateTime(Now()).toString("yyyy-MM-dd hh:mm:ss");
    QStringList entry{"-- " + when + " " + flow + ": " + OneLine(reason)};
    entry << lines << separator << QString();
    AppendTextLines(Bound(path), entry);
}

QString StatementSeparatorFor(TEngineKind engine) {
    return engine == TEngineKind::SqlServer ? "Go" : ";";
}

QString OneLine(const QString& text) {
    static const QRegularExpression breaks("[\\r\\n]+");
    return QString(text).replace(breaks, " ").trimmed();
}

QString ReplaceFilter(const QString& text, const QString& filter) {
    QString result = text;
    return result.replace("%FILTERPOG%", filter, Qt::CaseInsensitive);
}

bool RunTransferScript(const QString& databaseName, const QString& path, TLangQuery& tbl,
                       const TScriptTarget& target, int* failed) {
    if (failed)
        *failed = 0;
    tbl.DatabaseName = databaseName;
    const bool exported =
        target.Scripting && databaseName.compare(target.DestDatabaseName, Qt::CaseInsensitive) == 0;
    return RunScriptStatements(
        path, TScriptSplit::SemicolonEnds, [&](const QStringList& statement, QStringList& log) {
            tbl.SQL = statement;
            try {
                if (exported) {
                    for (QString& statementLine : tbl.SQL)
                        statementLine = ReplaceFilter(statementLine, target.ContractFilter);
                    tbl.SetScripting(true);
                    tbl.SetScriptFile(target.ExportFile);
                } else {
                    tbl.SetScripting(false);
                }
                tbl.ExecModify();
            } catch (const std::exception& error) {
                log << ErrorMessage(error);
                tbl.SQL.clear();
                if (IsOperatorCancel(error)) {
                    log << "Canceled by the user; the statements after this one did not run.";
                    throw;
                }
                if (failed)
                    ++*failed;
            }
            tbl.SQL.clear();
        });
}

std::vector<TScriptFailure> RunInitScripts(const QString& flowName, const QString& sourceDatabase,
                                           TLangQuery& tbl, const TScriptTarget& target) {
    return RunPair(flowName, SourceInitSuffix, DestInitSuffix, sourceDatabase, tbl, target);
}

std::vector<TScriptFailure> RunFinalScripts(const QString& flowName, const QString& sourceDatabase,
                                            TLangQuery& tbl, const TScriptTarget& target) {
    return RunPair(flowName, SourceFinalSuffix, DestFinalSuffix, sourceDatabase, tbl, target);
}

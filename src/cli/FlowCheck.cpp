#include "cli/FlowCheck.h"

#include <QFileInfo>
#include <QHash>

#include "app/RunStart.h"
#include "flows/FlowFile.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "support/ErrorHandler.h"
#include "transfer/FlowOrder.h"
#include "transfer/RecordCopy.h"
#include "transfer/TransferFiles.h"
#include "translations/Translate.h"

namespace {

using TWaits = QHash<QString, QStringList>; // flow -> the flows it waits on, all case-folded

QStringList Folded(const QStringList& names) {
    QStringList folded;
    for (const QString& name : names)
        folded << name.toCaseFolded();
    return folded;
}

// A path of waits from `at` to `target`, appended to path.
bool FindCircle(const QString& at, const QString& target, const TWaits& waits, QStringList& path,
                QStringList& seen) {
    for (const QString& next : waits.value(at)) {
        if (next == target)
            return true;
        if (seen.contains(next))
            continue;
        seen << next;
        path << next;
        if (FindCircle(next, target, waits, path, seen))
            return true;
        path.removeLast();
    }
    return false;
}

// Why each flow the run's order would never reach cannot run, by case-folded name. Only the sound flows
// take part: the others cannot run, and their definitions may not even be readable.
QHash<QString, QString> UnmetDependencies(const QStringList& sound, const QStringList& flows,
                                          const QString& index) {
    QStringList done;
    QString next;
    TFlowOrder order;
    while (order.NextFlow(sound, done, next))
        done << next;
    const QStringList indexed = StartTransferFlows(index);
    const QStringList selected = Folded(flows), ran = Folded(done);
    QHash<QString, QString> shown; // case-folded -> as the index or the dependency writes it
    TWaits waits;
    for (const QString& flow : sound) {
        if (ran.contains(flow.toCaseFolded()))
            continue;
        for (const QString& key : IniReadSectionKeys(FlowTransferPath(flow), "DEPENDENT", TKeyBudget::Whole))
            if (!ran.contains(key.toCaseFolded())) {
                waits[flow.toCaseFolded()] << key.toCaseFolded();
                shown.insert(key.toCaseFolded(), key);
            }
    }
    for (const QString& flow : indexed)
        shown.insert(flow.toCaseFolded(), flow);

    QHash<QString, QString> reasons;
    for (auto it = waits.cbegin(); it != waits.cend(); ++it) {
        const QString& key = it.value().constFirst();
        QStringList path{it.key()}, seen;
        QString& reason = reasons[it.key()];
        if (!Folded(indexed).contains(key))
            reason = QString("it depends on %1, which is no flow of %2.").arg(shown[key], index);
        else if (!selected.contains(key))
            reason = QString("it depends on %1, which this run does not include.").arg(shown[key]);
        else if (FindCircle(it.key(), it.key(), waits, path, seen)) {
            for (QString& flow : path << it.key())
                flow = shown[flow];
            reason = "its dependencies form a circle: " + path.join(" -> ") + ".";
        } else
            reason = QString("it depends on %1, which cannot run.").arg(shown[key]);
    }
    return reasons;
}

// Raises the first reason the flow's definition and files give.
void CheckFlowFiles(const QString& name) {
    if (!QFileInfo::exists(ResolvePath(FlowTransferPath(name))))
        throw EKelvoError(QString("its definition file %1 is missing.").arg(FlowTransferPath(name)));
    CheckRunFiles({name});
    for (const QString& line : ReadFlowData(name).Trans)
        if (const QString translation = LineValue(line); !translation.isEmpty() && translation != GenIdName)
            if (!QFileInfo::exists(ResolvePath(TranslationPath(translation))))
                throw EKelvoError(QString("the translation file %1 of column %2 is missing.")
                                      .arg(TranslationPath(translation), LineName(line)));
}

} // namespace

QString CheckFlows(const QStringList& flows, const QString& index, bool& allOk) {
    const TRunSettings settings = RunSettingsFromData();
    TCopyQueries queries;
    TRecordCopy copy(queries,
                     TCopyContext{settings.SourceDatabase, settings.DestDatabase, settings.Scripting,
                                  settings.ContractFilter, [] { return QStringList(); }, [] { return false; },
                                  [](const QString&) {}, [](int) {}});
    QHash<QString, QString> reasons; // by case-folded name
    QStringList sound;
    for (const QString& name : flows) {
        try {
            CheckFlowFiles(name);
            sound << name;
        } catch (const std::exception& error) {
            reasons[name.toCaseFolded()] = OneLine(ErrorMessage(error));
        }
    }
    reasons.insert(UnmetDependencies(sound, flows, index));
    QString text;
    allOk = true;
    for (const QString& name : flows) {
        QString reason = reasons.value(name.toCaseFolded());
        if (reason.isEmpty()) {
            try {
                copy.CheckFlow(ReadFlowData(name));
            } catch (const std::exception& error) {
                reason = OneLine(ErrorMessage(error));
            }
        }
        allOk = allOk && reason.isEmpty();
        text += name + ": " + (reason.isEmpty() ? QString("ok") : reason) + "\n";
    }
    return text;
}

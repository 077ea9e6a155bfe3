#include "transfer/LostConnection.h"

#include "query/Database.h"
#include "support/ErrorHandler.h"

namespace {

QString LostName(const QString& sourceDatabase, const QString& destDatabase) {
    for (const QString& name : {sourceDatabase, destDatabase})
        if (const TDatabase* db = FindDatabase(name); db && db->Lost())
            return name;
    return sourceDatabase;
}

} // namespace

TRowResult CopyRowReopening(TRecordCopy& copy, const QString& flow, const QString& sourceDatabase,
                            const QString& destDatabase, const bool& canceled) {
    TRowResult result = TRowResult::Copied;
    try {
        result = copy.CopyRow();
    } catch (const EDatabaseError& error) {
        if (!error.ConnectionLost)
            throw;
        // A source cursor cannot be taken up again on a new connection without reading its rows twice.
        throw EKelvoError(QString("Flow %1 ended at row %2: the connection to database %3 was lost.\n%4")
                              .arg(flow)
                              .arg(copy.RowsRead + 1)
                              .arg(LostName(sourceDatabase, destDatabase), error.Message()));
    }
    TDatabase* dest = FindDatabase(destDatabase);
    if (canceled || !dest || !dest->Lost())
        return result;
    try {
        dest->Reopen();
    } catch (const std::exception& error) {
        copy.DropBatch(); // rows held back for the reopened connection were never sent: not read
        throw EKelvoError(QString("Flow %1 ended at row %2: the connection to database %3 was lost and could "
                                  "not be reopened.\n%4")
                              .arg(flow)
                              .arg(copy.RowsRead)
                              .arg(destDatabase, ErrorMessage(error)));
    }
    return result;
}

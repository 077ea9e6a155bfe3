#pragma once

#include <QString>

#include "transfer/RecordCopy.h"

// One row of a flow, with what a broken connection asks of the run: a lost destination is reopened
// once, with the same login, before the next row; when that fails, or when the source connection
// broke under its cursor, the run ends with a message naming the flow and the row. The row whose
// statement met the broken connection stays counted as failed (its statement is in FailedData.sql);
// rows not read yet are not counted at all. canceled is read after the row: after a cancel nothing is
// reopened, as the run ends anyway.
TRowResult CopyRowReopening(TRecordCopy& copy, const QString& flow, const QString& sourceDatabase,
                            const QString& destDatabase, const bool& canceled);

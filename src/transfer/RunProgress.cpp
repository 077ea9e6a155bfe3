#include "transfer/RunProgress.h"

#include <cmath>

#include "platform/DateTime.h"

QString PercentText(qint64 part, qint64 whole) {
    return whole > 0 ? QString::number(std::llround(part * 100.0 / whole)) + "%" : QStringLiteral("0%");
}

QString DurationText(double seconds) {
    return FormatHhNnSs(seconds / 86400.0);
}

QString RemainingText(const TRunProgress& progress) {
    return progress.RemainingSeconds < 0 ? QStringLiteral("Calculating...")
                                         : DurationText(progress.RemainingSeconds);
}

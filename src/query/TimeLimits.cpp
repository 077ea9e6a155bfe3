#include "query/TimeLimits.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>

#include "platform/IniFile.h"

namespace {

TTimeLimits& Limits() {
    static TTimeLimits limits;
    return limits;
}

} // namespace

void SetTimeLimits(const TTimeLimits& limits) {
    Limits() = limits;
}

const TTimeLimits& TimeLimits() {
    return Limits();
}

bool ParseLimitSeconds(const QString& text, int& seconds) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0)
        return false;
    seconds = value;
    return true;
}

QString ReadTimeLimits(const QString& settingsFile) {
    TTimeLimits limits;
    QStringList problems;
    const std::pair<const char*, int*> keys[] = {{"LOGIN_TIMEOUT", &limits.LoginSeconds},
                                                 {"QUERY_TIMEOUT", &limits.StatementSeconds}};
    for (const auto& [key, seconds] : keys) {
        const QString text = IniReadString(settingsFile, "GENERAL", key, "");
        if (!text.trimmed().isEmpty() && !ParseLimitSeconds(text, *seconds))
            problems << QString(
                            "%1: %2=%3 is not a whole number of seconds (0 for no limit); the limit stays "
                            "%4 seconds.")
                            .arg(QFileInfo(settingsFile).fileName(), key, text)
                            .arg(*seconds);
    }
    SetTimeLimits(limits);
    return problems.join('\n');
}

int ReconnectWindowMs() {
    const int limit = Limits().StatementSeconds;
    return 1000 * (limit > 0 ? std::min(limit, 30) : 30);
}

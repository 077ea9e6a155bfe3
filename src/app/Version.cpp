#include "app/Version.h"

QString KelvoVersion() {
    return QStringLiteral(KELVO_VERSION);
}

#include "transfer/ValueFormat.h"

QString FormatDecimal(double number) {
    QString text = QString::number(number, 'f', 4);
    // A negative number that rounds to zero shows no sign.
    if (text == "-0.0000")
        text = "0.0000";
    return text;
}

QString EscapeQuotes(const QString& text) {
    if (!text.contains('\''))
        return text;
    QString escaped = text;
    escaped.replace('\'', "''");
    return escaped;
}

QString EscapeLiteral(const QString& text, TBackslashes backslashes) {
    QString escaped = EscapeQuotes(text);
    if (backslashes != TBackslashes::Literal && escaped.contains('\\'))
        escaped.replace('\\', "\\\\");
    return escaped;
}

QString BinaryLiteral(const QString& hex, TEngineKind engine) {
    switch (engine) {
    case TEngineKind::PostgreSQL:
        return "decode('" + hex + "','hex')";
    case TEngineKind::SqlServer:
        return "0x" + hex;
    default:
        return "X'" + hex + "'";
    }
}

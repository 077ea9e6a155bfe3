#include "transfer/ValueFormat.h"

QString FormatDecimal(double number) {
    QString text = QString::number(number, 'f', 4);
    // A negative number that rounds to zero shows no sign.
    if (text == "-0.0000")
        text = "0.0000";
    return text;
}

// One pass into a text of the final size: QString::replace moves the rest of the text again for each
// batch of matches, which costs a large text with many apostrophes time in the square of its size.
static QString Doubled(const QString& text, bool backslashes) {
    const qsizetype extra = text.count('\'') + (backslashes ? text.count('\\') : 0);
    if (extra == 0)
        return text;
    QString doubled(text.size() + extra, Qt::Uninitialized);
    QChar* out = doubled.data();
    for (const QChar c : text) {
        *out++ = c;
        if (c == '\'' || (backslashes && c == '\\'))
            *out++ = c;
    }
    return doubled;
}

QString EscapeQuotes(const QString& text) {
    return Doubled(text, false);
}

QString EscapeLiteral(const QString& text, TBackslashes backslashes) {
    return Doubled(text, backslashes != TBackslashes::Literal);
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

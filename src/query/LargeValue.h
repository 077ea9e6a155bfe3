#pragma once

// A value too large to copy around as literal text: kept as it was read, bound to a "?" of the statement
// when it runs, and written out as its literal only where a statement goes to a file (the logs, the
// export, FailedData.sql), a part at a time.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

#include "query/Dialect.h"

struct TLargeValue {
    enum class TForm {
        Hex,     // Bytes as hexadecimal digits
        Escaped, // Text with its apostrophes (and, by Backslashes, its backslashes) doubled
        TextHex, // Text's UTF-8 bytes as hexadecimal digits
    };
    bool Binary = false;
    QByteArray Bytes; // Binary
    QString Text;     // otherwise
    // The literal: Prefix, the value in Form, Suffix.
    TForm Form = TForm::Escaped;
    TBackslashes Backslashes = TBackslashes::Literal;
    QString Prefix;
    QString Suffix;
};

using TLargeValuePtr = std::shared_ptr<const TLargeValue>;

// Values larger than this (characters of a text, bytes of a binary) stay out of the statement's text.
constexpr qsizetype LargeValueSize = 256 * 1024;

// Where a large value stands in a statement's lines: the "?" at character At of line Line.
struct TLargeSplice {
    int Line = 0;
    qsizetype At = 0;
    TLargeValuePtr Value;
};
using TLargeSplices = std::vector<TLargeSplice>;

// The value's literal appended to out as UTF-8.
void AppendLiteralUtf8(QByteArray& out, const TLargeValue& value);

// The lines with each spliced "?" replaced by its value's literal: for the rare writer that needs the
// statement as text (a failed row's record).
QStringList ExpandedLines(const QStringList& lines, const TLargeSplices& splices);

// A statement's lines, each ended by CR LF, then a tail, as UTF-8 a part of about PartBytes at a time:
// a large value's literal is never made whole. The lines and splices must outlive it.
class TStatementParts {
public:
    static constexpr qsizetype PartBytes = 1024 * 1024;
    TStatementParts(const QStringList& lines, const TLargeSplices& splices, const QByteArray& tail);
    // The next part into out; false when all was given.
    bool Next(QByteArray& out);

private:
    struct TSegment {
        QStringView Text;
        const TLargeValue* Value; // set: this value's encoded units instead of Text
    };
    std::vector<TSegment> segments_;
    QByteArray tail_;
    size_t next_ = 0;
    qsizetype at_ = 0; // units of the current value given
    bool tailDone_ = false;
};

// A line as UTF-8 with its splices' literals, appended to out.
void AppendLineUtf8(QByteArray& out, const QString& line, int index, const TLargeSplices& splices);

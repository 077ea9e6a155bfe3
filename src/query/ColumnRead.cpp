#include "query/ColumnRead.h"

#include <algorithm>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

namespace {

// Reads into out (QString: UTF-16 units, QByteArray: bytes) from unit 0 on. terminated: the driver ends
// every part with a terminator of one unit, which the next part overwrites.
template <typename Buffer>
short ReadParts(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, Buffer& out, bool& null,
                qsizetype firstPart) {
    using Unit = std::remove_reference_t<decltype(*out.data())>;
    constexpr qsizetype unit = sizeof(Unit);
    const qsizetype end = cType == SQL_C_BINARY ? 0 : 1;
    qsizetype have = 0;
    qsizetype room = firstPart;
    null = false;
    for (bool first = true;; first = false) {
        if (!first)
            out.reserve(have + room); // exactly: growing by resize alone would round a large value up
        out.resize(have + room);
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            SQLGetData(stmt, column, cType, out.data() + have, SQLLEN(room * unit), &indicator);
        if (rc == SQL_NO_DATA && !first)
            break;
        if (!SQL_SUCCEEDED(rc)) {
            out.resize(0);
            return rc;
        }
        if (indicator == SQL_NULL_DATA) {
            out.resize(0);
            null = true;
            return 0;
        }
        const qsizetype fits = room - end;
        if (rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator > fits * unit)) {
            have += fits;
            // The rest in one call where its length is known; otherwise parts that double, so the calls
            // stay few.
            room =
                indicator == SQL_NO_TOTAL ? room * 2 : std::max(indicator / unit - fits, qsizetype(1)) + end;
            continue;
        }
        qsizetype length = std::min(qsizetype(indicator / unit), fits);
        if (cType == SQL_C_WCHAR) {
            // MariaDB's driver reports some Hebrew texts a few characters short while it writes them
            // whole: the text ends at its terminator, never before the length reported.
            while (length < fits && out.at(have + length) != Unit(0))
                ++length;
        }
        have += length;
        break;
    }
    out.resize(have);
    return 0;
}

} // namespace

short ReadWideText(void* stmt, unsigned short column, QString& text, bool& null, qsizetype firstPart) {
    return ReadParts(static_cast<SQLHSTMT>(stmt), column, SQL_C_WCHAR, text, null, firstPart);
}

short ReadBytes(void* stmt, unsigned short column, bool utf8Text, QByteArray& bytes, bool& null,
                qsizetype firstPart) {
    return ReadParts(static_cast<SQLHSTMT>(stmt), column, utf8Text ? SQL_C_CHAR : SQL_C_BINARY, bytes, null,
                     firstPart);
}

namespace {
// The length of the valid UTF-8 sequence at i, or 0.
qsizetype SequenceAt(const QByteArray& bytes, qsizetype i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const qsizetype length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
    if (length == 0 || i + length > bytes.size())
        return 0;
    return QByteArrayView(bytes.constData() + i, length).isValidUtf8() ? length : 0;
}
} // namespace

void TextOfUtf8(const QByteArray& bytes, QString& text) {
    // ASCII, the usual text, is widened into the room the column's last value left, while that is small:
    // a large value's room is not held for the rows after it.
    const qsizetype n = bytes.size();
    if (n > 0) {
        if (text.isDetached() && text.capacity() >= n && text.capacity() <= 4096)
            text.resize(n);
        else
            text = QString(n, Qt::Uninitialized);
        const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
        char16_t* out = reinterpret_cast<char16_t*>(text.data());
        qsizetype i = 0;
        while (i < n && in[i] < 0x80) {
            out[i] = in[i];
            ++i;
        }
        if (i == n)
            return;
    }
    if (QByteArrayView(bytes).isValidUtf8()) {
        text = QString::fromUtf8(bytes);
        return;
    }
    text.clear();
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = SequenceAt(bytes, i);
        if (length > 0)
            text += QString::fromUtf8(bytes.constData() + i, length);
        else
            text += QChar(static_cast<unsigned char>(bytes[i]));
        i += std::max<qsizetype>(length, 1);
    }
}

void HexDigits(const QByteArray& bytes, QString& hex) {
    static const char16_t digits[] = u"0123456789ABCDEF";
    hex.resize(bytes.size() * 2);
    char16_t* out = reinterpret_cast<char16_t*>(hex.data());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = digits[b >> 4];
        *out++ = digits[b & 15];
    }
}

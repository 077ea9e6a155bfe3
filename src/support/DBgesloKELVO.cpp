#include "support/DBgesloKELVO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "platform/Errors.h"
#include "platform/ProgramDir.h"
#include "platform/TextFile.h"

namespace {

const QString kFileName = "KELVO.INI";
const QString kKey = "qxv";

// A descrambled code is a byte of the Windows program's code page, not a Unicode code point.
QChar LegacyChar(uint code) {
    if (code < 0x80 || code > 0xFF)
        return QChar(char16_t(code));
    static const QString upperHalf = [] {
        QByteArray bytes;
        for (int c = 0x80; c <= 0xFF; ++c)
            bytes.append(char(c));
        QStringDecoder cp1250("windows-1250", QStringDecoder::Flag::Stateless);
        QString decoded = cp1250.isValid() ? cp1250.decode(bytes) : QString();
        return decoded.size() == 128 ? decoded : QString::fromLatin1(bytes);
    }();
    return upperHalf[int(code - 0x80)];
}

bool IsBlank(QChar c) {
    return c.unicode() <= ' ';
}

QString TrimBlanks(const QString& s) {
    qsizetype begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return s.mid(begin, end - begin);
}

// Only ASCII letters change, so no other letter can fold into a key.
QString AsciiUpper(const QString& s) {
    QString out = s;
    for (QChar& c : out) {
        if (c >= 'a' && c <= 'z')
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return out;
}

// The file of that name in dir, letter case ignored (an exact match first); empty when none.
// Whatever carries the name counts, also a folder or a pipe: reading it then says what is wrong.
QString FindFile(const QString& dir, const QString& name) {
    if (QFileInfo::exists(dir + name))
        return dir + name;
    const QStringList entries =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir + entry;
    }
    return {};
}

QString FindLoginFile() {
    QString dir = ProgramDir();
    if (!dir.endsWith('/'))
        dir += '/';
    for (int level = 0; level < 3; ++level) {
        const QString found = FindFile(dir, kFileName);
        if (!found.isEmpty())
            return found;
        dir = ParentDir(dir);
    }
    return {};
}

} // namespace

quint64 HexValue(const QString& text) {
    const QString upper = AsciiUpper(text);
    quint64 value = 0;
    quint64 weight = 1;
    for (qsizetype i = upper.size() - 1; i >= 0; --i) {
        const char16_t c = upper[i].unicode();
        if (c >= '1' && c <= '9')
            value += weight * quint64(c - '0');
        else if (c >= 'A' && c <= 'F')
            value += weight * quint64(c - 'A' + 10);
        weight *= 16;
    }
    return value;
}

QString DescrambleValue(const QString& s, const QString& key) {
    QString clear;
    qsizetype k = 0;
    for (qsizetype p = 0; p < s.size(); p += 2) {
        const QString pair = p + 1 < s.size() ? s.mid(p, 2) : s.mid(p, 1) + '0';
        const uint v = uint(HexValue(pair));
        uint keyCode = 0;
        if (!key.isEmpty()) {
            keyCode = key[k].unicode();
            k = (k + 1) % key.size();
        }
        clear += LegacyChar(keyCode ^ v);
    }
    return clear.mid(20, 100);
}

QString ParentDir(const QString& path) {
    QString p = path;
    if (p.endsWith('/'))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf('/');
    if (slash < 0)
        return path;
    return p.left(slash + 1);
}

void ReadLoginSettings(QString& databaseName, QString& userName, QString& password, QString& modeText) {
    const QString path = FindLoginFile();
    if (path.isEmpty())
        return;
    // A login file that cannot be read is an error: trying an empty login instead would hide it.
    // Read as every text file is: UTF-8 when valid, else the Central European code page.
    const QString text = ReadTextFile(path);
    if (text.contains(QChar(0)))
        throw EKelvoError(QString("The file \"%1\" is not a text file").arg(path));

    static const QString keys[4] = {"DATABASENAME", "USERNAME", "PASSWORD", "TEST/PRODUKCIJA"};
    QString raw[4];
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        const QString line = text.mid(start, end - start);
        for (int i = 0; i < 4; ++i) {
            if (AsciiUpper(TrimBlanks(line.left(keys[i].size()))) == keys[i])
                raw[i] = TrimBlanks(line.mid(keys[i].size() + 1, 100));
        }
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    databaseName = DescrambleValue(raw[0], kKey);
    userName = DescrambleValue(raw[1], kKey);
    password = DescrambleValue(raw[2], kKey);
    modeText = raw[3];
}

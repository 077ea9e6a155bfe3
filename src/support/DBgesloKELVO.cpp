#include "support/DBgesloKELVO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>

#include "platform/Errors.h"
#include "platform/ProgramDir.h"
#include "platform/TextFile.h"

namespace {

const QString kFileName = "KELVO.INI";
const QString kKey = "qxv";

// The characters of bytes 0x80 to 0xFF in the Windows program's code page.
const QString& UpperHalf() {
    static const QString upperHalf = [] {
        QByteArray bytes;
        for (int c = 0x80; c <= 0xFF; ++c)
            bytes.append(char(c));
        QStringDecoder cp1250("windows-1250", QStringDecoder::Flag::Stateless);
        QString decoded = cp1250.isValid() ? cp1250.decode(bytes) : QString();
        return decoded.size() == 128 ? decoded : QString::fromLatin1(bytes);
    }();
    return upperHalf;
}

// A descrambled code is a byte of the Windows program's code page, not a Unicode code point.
QChar LegacyChar(uint code) {
    if (code < 0x80 || code > 0xFF)
        return QChar(char16_t(code));
    return UpperHalf()[int(code - 0x80)];
}

// The byte LegacyChar turns into c; -1 when the code page has none.
int LegacyCode(QChar c) {
    if (c.unicode() < 0x80)
        return c.unicode();
    const qsizetype index = UpperHalf().indexOf(c);
    return index < 0 ? -1 : int(0x80 + index);
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

const QString kKeys[4] = {"DATABASENAME", "USERNAME", "PASSWORD", "TEST/PRODUKCIJA"};
enum { kUserName = 1, kPassword = 2 };

// The key whose value a line holds (an index of kKeys), as the first characters of the line name it;
// -1 for none.
int LineKey(const QString& line) {
    for (int i = 0; i < 4; ++i) {
        if (AsciiUpper(TrimBlanks(line.left(kKeys[i].size()))) == kKeys[i])
            return i;
    }
    return -1;
}

// The lines of text, each with the line end that follows it (CR LF, LF or CR; none after the last).
QStringList LinesWithEnds(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++end;
        lines << text.mid(start, end + 1 - start);
        start = end + 1;
    }
    return lines;
}

// The reader keeps 100 stored characters, two for each scrambled one, of which the prefix takes 20.
constexpr int kMaxClear = 100 / 2 - 20;

void CheckStorable(const QString& what, const QString& value) {
    if (value.size() > kMaxClear)
        throw EKelvoError(QString("The %1 has %2 characters; KELVO.INI holds at most %3.")
                              .arg(what)
                              .arg(value.size())
                              .arg(kMaxClear));
    for (QChar c : value) {
        if (c.unicode() < ' ' || c.unicode() == 0x7F)
            throw EKelvoError(
                QString("The %1 holds a control character, which KELVO.INI cannot hold.").arg(what));
        if (LegacyCode(c) < 0)
            throw EKelvoError(QString("The %1 holds the character %2, which KELVO.INI cannot hold: it stores "
                                      "only the characters of the Windows code page 1250.")
                                  .arg(what, c));
    }
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

    QString raw[4];
    for (const QString& line : LinesWithEnds(text)) {
        if (const int key = LineKey(line); key >= 0)
            raw[key] = TrimBlanks(line.mid(kKeys[key].size() + 1, 100));
    }
    databaseName = DescrambleValue(raw[0], kKey);
    userName = DescrambleValue(raw[1], kKey);
    password = DescrambleValue(raw[2], kKey);
    modeText = raw[3];
}

QString ScrambleValue(const QString& clear, const QString& key, const QString& prefix) {
    const QString plain = prefix.left(20).leftJustified(20, '.') + clear;
    QString out;
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const int code = LegacyCode(plain[i]);
        if (code < 0)
            throw EKelvoError(
                QString("The character %1 has no byte in the Windows code page 1250.").arg(plain[i]));
        const uint keyCode = key.isEmpty() ? 0 : key[i % key.size()].unicode();
        out += QString("%1").arg(uint(code) ^ keyCode, 2, 16, QChar('0')).toUpper();
    }
    return out;
}

QString WriteSourceLogin(const QString& userName, const QString& password) {
    CheckStorable("user name", userName);
    CheckStorable("password", password);
    QString path = FindLoginFile();
    QString text;
    if (path.isEmpty()) {
        path = ProgramDir();
        if (!path.endsWith('/'))
            path += '/';
        path += kFileName;
        // Only its owner reads a new login file; an existing one keeps the permissions it has.
        QFile created(path);
        if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            !created.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
            throw EKelvoError(QString("Unable to write to %1: %2").arg(path, created.errorString()));
    } else {
        text = ReadTextFile(path);
        if (text.contains(QChar(0)))
            throw EKelvoError(QString("The file \"%1\" is not a text file").arg(path));
    }
    // A new prefix each time, so the stored text does not tell when a login is stored again.
    QString prefix;
    for (int i = 0; i < 20; ++i)
        prefix += QChar(char16_t(QRandomGenerator::global()->bounded('!', '~' + 1)));
    const QString values[4] = {
        {}, ScrambleValue(userName, kKey, prefix), ScrambleValue(password, kKey, prefix)};

    QStringList lines = LinesWithEnds(text);
    const QString lineEnd = !lines.isEmpty() && lines[0].endsWith("\r\n") ? "\r\n"
                            : !lines.isEmpty() && lines[0].endsWith('\n') ? "\n"
                            : !lines.isEmpty() && lines[0].endsWith('\r') ? "\r"
                                                                          : "\r\n";
    bool written[4] = {};
    for (QString& line : lines) {
        const int key = LineKey(line);
        if (key != kUserName && key != kPassword)
            continue;
        // Every line the reader takes the value from, as the last one wins.
        const qsizetype bodyEnd = line.size() - (line.endsWith("\r\n")                        ? 2
                                                 : line.endsWith('\n') || line.endsWith('\r') ? 1
                                                                                              : 0);
        line = kKeys[key] + '=' + values[key] + line.mid(bodyEnd);
        written[key] = true;
    }
    if (!lines.isEmpty() && !lines.constLast().endsWith('\n') && !lines.constLast().endsWith('\r'))
        lines.last() += lineEnd;
    if (lines.isEmpty())
        lines << "[LOGIN]" + lineEnd;
    qsizetype at = lines.size();
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (AsciiUpper(TrimBlanks(lines[i])) == "[LOGIN]")
            at = i + 1;
    for (int key : {kPassword, kUserName})
        if (!written[key])
            lines.insert(at, kKeys[key] + '=' + values[key] + lineEnd);
    try {
        WriteTextFile(path, lines.join(QString()));
    } catch (...) {
        if (text.isEmpty())
            QFile::remove(path);
        throw;
    }
    return path;
}

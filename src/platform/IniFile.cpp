#include "platform/IniFile.h"

#include <QFileInfo>
#include <QHash>
#include <vector>

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace {

// A value is read into 2048 bytes: the text and its terminating zero.
constexpr qsizetype kMaxValueLength = 2047;
// The key list of a section is read into 16384 bytes: every name with its terminating zero, and one
// more zero ending the list. Windows would cut the last name that does not fit to a fragment; a
// fragment names no key, so here the list holds as many whole names as fit and stops before the
// first that does not. A name costs one byte per character, as in the 8-bit code page the files were
// made in, so a file lists the same keys it did there.
constexpr qsizetype kKeyListBudget = 16384;

enum class TKind { Other, Blank, Comment, Section, Key };

struct TLine {
    QString text;
    TKind kind = TKind::Other;
    QString name;      // section or key name, trimmed
    qsizetype eq = -1; // position of the first '=' of a key line
};

TLine Classify(const QString& text) {
    TLine line;
    line.text = text;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        line.kind = TKind::Blank;
    } else if (trimmed.startsWith(';')) {
        line.kind = TKind::Comment;
    } else if (trimmed.startsWith('[')) {
        const qsizetype close = trimmed.lastIndexOf(']');
        if (close > 0) {
            line.kind = TKind::Section;
            line.name = trimmed.mid(1, close - 1).trimmed();
        }
    } else if ((line.eq = text.indexOf('=')) >= 0) {
        line.name = text.left(line.eq).trimmed();
        if (!line.name.isEmpty())
            line.kind = TKind::Key;
    }
    return line;
}

bool Same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString ValueOf(const TLine& line) {
    QString value = line.text.mid(line.eq + 1).trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    if (value.size() > kMaxValueLength) {
        qsizetype cut = kMaxValueLength;
        if (value[cut - 1].isHighSurrogate())
            --cut;
        value.truncate(cut);
    }
    return value;
}

// One INI file in memory, for one operation.
class TIni {
public:
    explicit TIni(const QString& path) : path_(path) {
        const QString resolved = ResolvePath(path);
        // A folder that cannot be listed would hide its files: that is an error, not "no file". As
        // with files, one without read permission counts as unreadable also for root.
        const QFileInfo folder(QFileInfo(resolved).absolutePath());
        constexpr auto readBits = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
        if (folder.isDir() &&
            (!folder.isReadable() || !folder.isExecutable() || !(folder.permissions() & readBits)))
            throw EKelvoError(QString("Cannot read the folder \"%1\"").arg(folder.filePath()));
        exists_ = QFileInfo::exists(resolved);
        if (!exists_)
            return;
        const QString text = ReadTextFile(path);
        if (text.contains(QChar(0)))
            throw EKelvoError(QString("The file \"%1\" is not a text file").arg(path));
        eol_ = DetectLineEnd(text);
        const QStringList lines = SplitTextLines(text);
        lines_.reserve(lines.size());
        for (const QString& line : lines)
            lines_.push_back(Classify(line));
    }

    bool Exists() const { return exists_; }

    // Index of the header of the first section of that name, or -1.
    qsizetype FindSection(const QString& section) const {
        for (qsizetype i = 0; i < Size(); ++i) {
            if (lines_[i].kind == TKind::Section && Same(lines_[i].name, section))
                return i;
        }
        return -1;
    }

    // One past the last line of the section whose header is at header.
    qsizetype SectionEnd(qsizetype header) const {
        qsizetype i = header + 1;
        while (i < Size() && lines_[i].kind != TKind::Section)
            ++i;
        return i;
    }

    qsizetype FindKey(qsizetype header, const QString& key) const {
        const qsizetype end = SectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i) {
            if (lines_[i].kind == TKind::Key && Same(lines_[i].name, key))
                return i;
        }
        return -1;
    }

    const TLine& Line(qsizetype i) const { return lines_[i]; }
    qsizetype Size() const { return qsizetype(lines_.size()); }

    // Replaces the first occurrence in place, or appends the key after the last key of its section
    // (so blank lines that end the section stay after it), or appends the section at the end.
    void SetString(const QString& section, const QString& key, const QString& value) {
        const qsizetype header = FindSection(section);
        if (header < 0) {
            Insert(Size(), "[" + section + "]");
            Insert(Size(), key + "=" + value);
            return;
        }
        const qsizetype found = FindKey(header, key);
        if (found >= 0) {
            const QString text = lines_[found].name + "=" + value;
            if (lines_[found].text != text) {
                lines_[found] = Classify(text);
                changed_ = true;
            }
            return;
        }
        qsizetype after = header;
        const qsizetype end = SectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i) {
            if (lines_[i].kind == TKind::Key)
                after = i;
        }
        Insert(after + 1, key + "=" + value);
    }

    // Removes every section of that name: a later duplicate would otherwise surface in its place.
    void EraseSection(const QString& section) {
        std::vector<TLine> kept;
        kept.reserve(lines_.size());
        bool inErased = false;
        for (TLine& line : lines_) {
            if (line.kind == TKind::Section)
                inErased = Same(line.name, section);
            if (inErased)
                changed_ = true;
            else
                kept.push_back(std::move(line));
        }
        lines_ = std::move(kept);
    }

    // Removes every occurrence of the key in the section that reads see, so the key then reads as
    // missing instead of showing a later duplicate.
    void DeleteKey(const QString& section, const QString& key) {
        const qsizetype header = FindSection(section);
        if (header < 0)
            return;
        const qsizetype end = SectionEnd(header);
        std::vector<TLine> kept;
        kept.reserve(lines_.size());
        for (qsizetype i = 0; i < Size(); ++i) {
            if (i > header && i < end && lines_[i].kind == TKind::Key && Same(lines_[i].name, key))
                changed_ = true;
            else
                kept.push_back(std::move(lines_[i]));
        }
        lines_ = std::move(kept);
    }

    // Writes the file back when something changed, keeping its line ends.
    void Save() const {
        if (!changed_)
            return;
        QString text;
        for (const TLine& line : lines_) {
            text += line.text;
            text += eol_;
        }
        // Raises "Unable to write to <path>" on failure.
        WriteTextFile(path_, text);
    }

private:
    static QString DetectLineEnd(const QString& text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == '\n')
                return "\n";
            if (text[i] == '\r')
                return i + 1 < text.size() && text[i + 1] == '\n' ? "\r\n" : "\r";
        }
        return "\r\n";
    }

    void Insert(qsizetype at, const QString& text) {
        lines_.insert(lines_.begin() + at, Classify(text));
        changed_ = true;
    }

    QString path_;
    bool exists_ = false;
    bool changed_ = false;
    QString eol_ = "\r\n";
    std::vector<TLine> lines_;
};

bool HasLineBreak(const QString& text) {
    return text.contains('\r') || text.contains('\n');
}

// Names that would read back as something else are refused before anything is written.
QString CheckedSection(const QString& file, const QString& section) {
    const QString name = section.trimmed();
    if (name.isEmpty() || HasLineBreak(name))
        throw EKelvoError(QString("Invalid section name \"%1\" for %2").arg(section, file));
    return name;
}

QString CheckedKey(const QString& file, const QString& key) {
    const QString name = key.trimmed();
    if (name.isEmpty() || HasLineBreak(name) || name.contains('=') || name.startsWith(';') ||
        name.startsWith('['))
        throw EKelvoError(QString("Invalid key name \"%1\" for %2").arg(key, file));
    return name;
}

void CheckValue(const QString& file, const QString& key, const QString& value) {
    if (HasLineBreak(value))
        throw EKelvoError(QString("The value of key \"%1\" for %2 contains a line break").arg(key, file));
}

QStringList KeysOf(const TIni& ini, const QString& section, bool whole = false) {
    QStringList keys;
    const qsizetype header = ini.FindSection(section.trimmed());
    if (header < 0)
        return keys;
    const qsizetype end = ini.SectionEnd(header);
    qsizetype used = 1; // the zero that ends the list
    for (qsizetype i = header + 1; i < end; ++i) {
        const TLine& line = ini.Line(i);
        if (line.kind != TKind::Key)
            continue;
        const qsizetype cost = qsizetype(line.name.toUcs4().size()) + 1;
        if (!whole && used + cost > kKeyListBudget)
            break;
        used += cost;
        keys << line.name;
    }
    return keys;
}

} // namespace

QString IniReadString(const QString& file, const QString& section, const QString& key, const QString& def) {
    const TIni ini(file);
    const qsizetype header = ini.FindSection(section.trimmed());
    if (header < 0)
        return def;
    const qsizetype found = ini.FindKey(header, key.trimmed());
    return found < 0 ? def : ValueOf(ini.Line(found));
}

QStringList IniReadSectionKeys(const QString& file, const QString& section, TKeyBudget budget) {
    return KeysOf(TIni(file), section, budget == TKeyBudget::Whole);
}

void IniReadSectionValues(const QString& file, const QString& section, QStringList& list) {
    IniReadSectionValues(file, section, list, TKeyBudget::Limited);
}

void IniReadSectionValues(const QString& file, const QString& section, QStringList& list, TKeyBudget budget) {
    list.clear();
    const TIni ini(file);
    const QStringList keys = KeysOf(ini, section, budget == TKeyBudget::Whole);
    if (keys.isEmpty())
        return;
    // First value of each key, looked up once, so a large section stays linear.
    QHash<QString, QString> first;
    const qsizetype header = ini.FindSection(section.trimmed());
    const qsizetype end = ini.SectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const TLine& line = ini.Line(i);
        if (line.kind == TKind::Key) {
            const QString folded = line.name.toCaseFolded();
            if (!first.contains(folded))
                first.insert(folded, ValueOf(line));
        }
    }
    for (const QString& key : keys)
        list << key + "=" + first.value(key.toCaseFolded());
}

void IniWriteString(const QString& file, const QString& section, const QString& key, const QString& value) {
    const QString sectionName = CheckedSection(file, section);
    const QString keyName = CheckedKey(file, key);
    CheckValue(file, keyName, value);
    TIni ini(file);
    ini.SetString(sectionName, keyName, value);
    ini.Save();
}

void IniEraseSection(const QString& file, const QString& section) {
    TIni ini(file);
    if (!ini.Exists())
        return;
    ini.EraseSection(section.trimmed());
    ini.Save();
}

void IniDeleteKey(const QString& file, const QString& section, const QString& key) {
    TIni ini(file);
    if (!ini.Exists())
        return;
    ini.DeleteKey(section.trimmed(), key.trimmed());
    ini.Save();
}

void IniWriteSection(const QString& file, const QString& section, const QStringList& list) {
    const QString sectionName = CheckedSection(file, section);
    // Every line is checked before the section is touched, so a bad line loses nothing.
    std::vector<std::pair<QString, QString>> pairs;
    pairs.reserve(list.size());
    for (const QString& line : list) {
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            throw EKelvoError(QString("Invalid line \"%1\" for section %2 of %3: KEY=VALUE expected")
                                  .arg(line, sectionName, file));
        const QString key = CheckedKey(file, line.left(eq));
        const QString value = line.mid(eq + 1);
        CheckValue(file, key, value);
        pairs.emplace_back(key, value);
    }
    TIni ini(file);
    if (!ini.Exists() && pairs.empty())
        return;
    ini.EraseSection(sectionName);
    for (const auto& [key, value] : pairs)
        ini.SetString(sectionName, key, value);
    ini.Save();
}

// Plain-text parsers for the LVM tool's output lines and the mount table, as the logical tree reads them.
#include "lvmparse_p.h"

#include "utils.h"

#include <QRegularExpression>
#include <QStringList>

#include <climits>
#include <cstdlib>

namespace {

// Generous: the records have 13 and 17 fields; the rest of a longer line stays in the last one.
constexpr int kMaxFields = 32;

// A record line split at ":" in place; fields past the end read as empty text.
class ColonFields
{
public:
    explicit ColonFields(const QByteArray& line) : m_buffer(line)
    {
        m_buffer.append('\0');
        m_count = splitline(m_buffer.data(), m_fields, ':');
    }
    const char* at(int index) const { return index < m_count ? m_fields[index] : ""; }
    int count() const { return m_count; }
    // Base-10 strtol: leading blanks and a sign accepted, stops at the first non-digit.
    long long number(int index) const { return std::strtoll(at(index), nullptr, 10); }

private:
    QByteArray m_buffer;
    char* m_fields[kMaxFields] = {};
    int m_count = 0;
};

int clampToInt(long long value)
{
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// getrematch on a copy of the line; the requested groups come back as text.
bool matchGroups(QByteArray& buffer, const char* pattern, QString* first, QString* second)
{
    char* firstCopy = nullptr;
    char* secondCopy = nullptr;
    if (!getrematch(buffer.data(), pattern, first ? &firstCopy : nullptr, second ? &secondCopy : nullptr))
        return false;
    if (first)
        *first = firstCopy ? QString::fromLocal8Bit(firstCopy) : QString();
    if (second)
        *second = secondCopy ? QString::fromLocal8Bit(secondCopy) : QString();
    std::free(firstCopy);
    std::free(secondCopy);
    return true;
}

QByteArray terminated(const QByteArray& line)
{
    QByteArray buffer = line;
    buffer.append('\0');
    return buffer;
}

QString text(const QByteArray& line)
{
    return QString::fromLocal8Bit(line);
}

// Words separated by blanks and tabs.
QStringList blankTokens(const QString& line)
{
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    return line.split(blanks, Qt::SkipEmptyParts);
}

QString lastPathSection(const QString& token)
{
    return token.section(QLatin1Char('/'), -1);
}

} // namespace

VgscanLine parseVgscanLine(const QByteArray& line)
{
    VgscanLine result;
    // Both patterns run on the same buffer, as the first may cut it.
    QByteArray buffer = terminated(line);
    result.isFound = matchGroups(buffer, LvmPattern::kFoundGroup, nullptr, &result.found);
    result.isUnreadable = matchGroups(buffer, LvmPattern::kUnreadableGroup, nullptr, &result.unreadable);
    return result;
}

bool isVgNotActiveLine(const QByteArray& line)
{
    QByteArray buffer = terminated(line);
    return matchGroups(buffer, LvmPattern::kVgNotActive, nullptr, nullptr);
}

VgRecord parseVgdisplayRecord(const QByteArray& line)
{
    // Field 0 is the group's name, which the record does not keep.
    static const int kDivisors[15] = {1, 1, 1, 1, 1, 1, 2097152, 1, 1, 1, 1024, 1024, 1, 1, 1};
    const ColonFields fields(line);
    VgRecord record;
    for (int i = 0; i < 15; ++i)
        record.attr[i] = clampToInt(fields.number(i + 1) / kDivisors[i]);
    record.uuid = QString::fromLocal8Bit(fields.at(16));
    // FreePe (14) times PeSizeMb (11), as an int product.
    record.attr[15] = static_cast<int>(static_cast<unsigned>(record.attr[14]) * static_cast<unsigned>(record.attr[11]));
    return record;
}

PvscanEntry parsePvscanLine(const QByteArray& line)
{
    PvscanEntry entry;
    QByteArray buffer = terminated(line);
    if (!matchGroups(buffer, LvmPattern::kPvscanPair, nullptr, nullptr))
        return entry;
    // The greedy pattern would split at the last "VG" ("dataVG"); the tokens say where the name is.
    const QStringList tokens = blankTokens(text(line));
    const qsizetype pv = tokens.indexOf(QStringLiteral("PV"));
    if (pv < 0)
        return entry;
    const qsizetype vg = tokens.indexOf(QStringLiteral("VG"), pv + 1);
    if (vg < 0)
        return entry;
    entry.valid = true;
    entry.device = tokens.mid(pv + 1, vg - pv - 1).join(QLatin1Char(' '));
    entry.group = vg + 1 < tokens.size() ? tokens.at(vg + 1) : QString();
    return entry;
}

LvscanEntry parseLvscanLine(const QByteArray& line)
{
    LvscanEntry entry;
    const QString whole = text(line);
    entry.original = whole.count(QStringLiteral("Original")) > 0;
    entry.snapshot = whole.count(QStringLiteral("Snapshot")) > 0;
    QByteArray buffer = terminated(line);
    QString quoted;
    if (!matchGroups(buffer, LvmPattern::kQuotedPath, &quoted, nullptr))
        return entry;
    entry.valid = true;
    entry.group = quoted.section(QLatin1Char('/'), 2, 2);
    entry.name = quoted.section(QLatin1Char('/'), 3, 3).simplified();
    return entry;
}

LvRecord parseLvdisplayRecord(const QByteArray& line)
{
    const ColonFields fields(line);
    LvRecord record;
    record.access = clampToInt(fields.number(2));
    record.status = clampToInt(fields.number(3));
    record.number = clampToInt(fields.number(4));
    // Sectors of 512 bytes; divided before narrowing so volumes above 1 TiB keep their size.
    record.size = clampToInt(fields.number(6) / 2048);
    record.currentLe = clampToInt(fields.number(7));
    record.allocatedLe = clampToInt(fields.number(8));
    record.allocation = clampToInt(fields.number(9));
    record.readAhead = clampToInt(fields.number(10));
    record.major = clampToInt(fields.number(11));
    record.minor = clampToInt(fields.number(12));
    // An error text or an empty answer is no record: a volume's record names its path first.
    record.found = fields.count() >= 13 && QByteArray(fields.at(0)).trimmed().startsWith("/dev/");
    return record;
}

bool parseCowTableLeLine(const QByteArray& line, int& extents)
{
    static const QRegularExpression cowLe(QStringLiteral("^\\s*COW-table LE\\s+(\\d+)\\s*$"));
    const QRegularExpressionMatch match = cowLe.match(text(line));
    if (!match.hasMatch())
        return false;
    extents = clampToInt(match.captured(1).toLongLong());
    return true;
}

bool isLvNotActiveLine(const QByteArray& line)
{
    return text(line).contains(QStringLiteral("is not active"));
}

bool parseLvStatusLine(const QByteArray& line, QString& statusText)
{
    QByteArray buffer = terminated(line);
    return matchGroups(buffer, LvmPattern::kLvStatus, &statusText, nullptr);
}

int lvStatusValue(const QString& statusText)
{
    return statusText.contains(QStringLiteral("NOT")) ? 0 : 1;
}

bool isSnapshotStatusLine(const QByteArray& line)
{
    return text(line).contains(QStringLiteral("snapshot status"));
}

bool snapshotStatusMeansOrigin(const QByteArray& line)
{
    const QString whole = text(line);
    return whole.contains(QStringLiteral("source")) || whole.contains(QStringLiteral("original"));
}

bool isInactiveSnapshotLine(const QByteArray& line)
{
    return text(line).contains(QStringLiteral("INACTIVE"));
}

bool isSnapshotListingEnd(const QByteArray& line)
{
    return text(line).contains(QStringLiteral("Status"));
}

QString snapshotNameFromListingLine(const QByteArray& line)
{
    const QStringList tokens = blankTokens(text(line));
    if (tokens.isEmpty())
        return QString();
    return lastPathSection(tokens.first());
}

QString originFromSnapshotStatusLine(const QByteArray& line)
{
    const QStringList tokens = blankTokens(text(line));
    if (tokens.isEmpty())
        return QString();
    return lastPathSection(tokens.last());
}

bool parsePhysicalVolumeLine(const QByteArray& line, QString& device)
{
    QByteArray buffer = terminated(line);
    return matchGroups(buffer, LvmPattern::kPhysicalVolume, &device, nullptr);
}

void appendPvOnce(QString& pvString, const QString& device)
{
    if (pvString.contains(device))
        return;
    pvString += device + QLatin1Char(':');
}

void dropTrailingSeparator(QString& pvString)
{
    if (!pvString.isEmpty())
        pvString.chop(1);
}

QString deviceMapperName(const QString& vgName, const QString& lvName)
{
    const QString hyphen = QStringLiteral("-");
    const QString doubled = QStringLiteral("--");
    return QStringLiteral("/dev/mapper/") + QString(vgName).replace(hyphen, doubled) + hyphen +
           QString(lvName).replace(hyphen, doubled);
}

QString mountPointOf(const QList<MountEntry>& table, const QString& vgName, const QString& lvName)
{
    const QString volumePath = QStringLiteral("/dev/") + vgName + QLatin1Char('/') + lvName;
    const QString mapperName = deviceMapperName(vgName, lvName);
    const QString plainMapperName = QStringLiteral("/dev/mapper/") + vgName + QLatin1Char('-') + lvName;
    for (const MountEntry& entry : table) {
        if (entry.device == volumePath || entry.device == mapperName || entry.device == plainMapperName)
            return entry.directory;
    }
    return QString();
}

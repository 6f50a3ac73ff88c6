// Today's tool set read into plain records: LVM2's JSON full report, lsblk's JSON listing, blkid's output.
#include "currentparse_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <limits>

namespace {

const QString kLvmTool = QStringLiteral("lvm fullreport");
const QString kLsblkTool = QStringLiteral("lsblk");

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// --- The JSON document inside a tool's standard output

// Where the document starts: the first "{" that opens a line (after blanks), else the first one at all,
// so a warning line printed before the document is passed over.
qsizetype documentStart(const QByteArray& text)
{
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        qsizetype at = lineStart;
        while (at < text.size() && (text.at(at) == ' ' || text.at(at) == '\t'))
            ++at;
        if (at < text.size() && text.at(at) == '{')
            return at;
        const qsizetype newline = text.indexOf('\n', lineStart);
        if (newline < 0)
            break;
        lineStart = newline + 1;
    }
    return text.indexOf('{');
}

// The brackets left open at the end of `text`, innermost last; empty when the text closes one it never
// opened.
QByteArray openBrackets(const QByteArray& text)
{
    QByteArray open;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            inString = escaped || c != '"';
            escaped = !escaped && c == '\\';
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            open.append(c);
        } else if (c == '}' || c == ']') {
            if (open.isEmpty())
                return {};
            open.chop(1);
        }
    }
    return open;
}

// The end of the last object or array closed in `text` (outside strings), or -1.
qsizetype lastClosedValueEnd(const QByteArray& text)
{
    qsizetype end = -1;
    bool inString = false;
    bool escaped = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (inString) {
            inString = escaped || c != '"';
            escaped = !escaped && c == '\\';
        } else if (c == '"') {
            inString = true;
        } else if (c == '}' || c == ']') {
            end = i + 1;
        }
    }
    return end;
}

// A cut-off document made whole again: kept up to the last object or array it completed, then closed.
QByteArray closeTruncatedJson(const QByteArray& text)
{
    const qsizetype end = lastClosedValueEnd(text);
    if (end < 0)
        return {};
    QByteArray whole = text.left(end);
    const QByteArray open = openBrackets(whole);
    for (qsizetype i = open.size() - 1; i >= 0; --i)
        whole.append(open.at(i) == '{' ? '}' : ']');
    return whole;
}

// The JSON object in a tool's output. A broken document is reported and read as far as it is whole;
// nothing when not even a part of it is an object.
std::optional<QJsonObject> readJsonObject(const QByteArray& text, const QString& tool, const QString& what,
                                          QStringList& problems)
{
    const qsizetype start = documentStart(text);
    if (start < 0) {
        problems.append(QStringLiteral("%1: the output holds no JSON %2").arg(tool, what));
        return std::nullopt;
    }
    QByteArray body = text.mid(start);
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error == QJsonParseError::GarbageAtEnd) {
        body.truncate(error.offset);
        document = QJsonDocument::fromJson(body, &error);
    }
    if (error.error != QJsonParseError::NoError) {
        problems.append(QStringLiteral("%1: the %2 is not valid JSON (%3 at offset %4)")
                            .arg(tool, what, error.errorString())
                            .arg(start + error.offset));
        document = QJsonDocument::fromJson(closeTruncatedJson(body.left(error.offset)));
    } else if (!document.isObject()) {
        problems.append(QStringLiteral("%1: the %2 is not a JSON object").arg(tool, what));
    }
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

// The elements of `key` in `object` that are objects; a missing key reads as no elements, anything
// else that is not an array of objects is reported.
QList<QJsonObject> objectsOf(const QJsonObject& object, const QString& key, const QString& where, QStringList& problems)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return {};
    if (!value.isArray()) {
        problems.append(QStringLiteral("%1: \"%2\" is not an array").arg(where, key));
        return {};
    }
    QList<QJsonObject> objects;
    for (const QJsonValue& element : value.toArray()) {
        if (element.isObject())
            objects.append(element.toObject());
        else
            problems.append(QStringLiteral("%1: an element of \"%2\" is not an object").arg(where, key));
    }
    return objects;
}

// The array `key` of the tool's document; a document without one is reported.
QList<QJsonObject> topLevelObjects(const std::optional<QJsonObject>& root, const QString& key, const QString& tool,
                                   QStringList& problems)
{
    if (!root)
        return {};
    if (!root->value(key).isArray()) {
        problems.append(QStringLiteral("%1: the output holds no \"%2\" array").arg(tool, key));
        return {};
    }
    return objectsOf(*root, key, tool, problems);
}

// Reads the fields of one JSON object as text and figures; an unreadable field is reported as
// "<where>: <key> ..." and reads empty or 0.
class FieldReader
{
public:
    FieldReader(const QJsonObject& object, QStringList& problems, const QString& where)
        : m_object(object), m_problems(problems), m_where(where)
    {}

    // Where the object stands in the output, for the problem lines: "lvm fullreport: volume group \"x\"".
    void setWhere(const QString& where) { m_where = where; }

    // True when the key is there with a value other than null.
    bool has(const char* key) const
    {
        const QJsonValue value = m_object.value(QLatin1String(key));
        return !value.isUndefined() && !value.isNull();
    }

    // A string as it is, a number as its decimal text; null or missing read empty.
    QString text(const char* key) const
    {
        const QJsonValue value = m_object.value(QLatin1String(key));
        if (value.isString())
            return value.toString();
        if (value.isDouble())
            return numberText(value);
        if (!value.isUndefined() && !value.isNull())
            complain(key, QStringLiteral("is neither text nor a number"));
        return {};
    }

    qint64 sizeKiB(const char* key) const
    {
        const QString size = text(key);
        if (size.trimmed().isEmpty())
            return 0;
        const std::optional<qint64> kib = parseSizeKiB(size);
        if (!kib)
            complain(key, QStringLiteral("\"%1\" is not a size").arg(size));
        return kib.value_or(0);
    }

    qint64 figure(const char* key, qint64 missing = 0) const
    {
        const QString figureText = text(key).trimmed();
        if (figureText.isEmpty())
            return missing;
        bool ok = false;
        const qint64 value = figureText.toLongLong(&ok);
        if (!ok)
            complain(key, QStringLiteral("\"%1\" is not a whole number").arg(figureText));
        return ok ? value : missing;
    }

    int smallFigure(const char* key, int missing = 0) const
    {
        const qint64 value = figure(key, missing);
        if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
            return static_cast<int>(value);
        complain(key, QStringLiteral("%1 is out of range").arg(value));
        return missing;
    }

    // Adds one problem line about the field `key`.
    void complain(const char* key, const QString& complaint) const
    {
        m_problems.append(QStringLiteral("%1: %2 %3").arg(m_where, QLatin1String(key), complaint));
    }

private:
    static QString numberText(const QJsonValue& value)
    {
        const double number = value.toDouble();
        const qint64 whole = value.toInteger();
        if (static_cast<double>(whole) == number)
            return QString::number(whole);
        return QString::number(number, 'f', QLocale::FloatingPointShortest);
    }

    const QJsonObject& m_object;
    QStringList& m_problems;
    QString m_where;
};

// --- lvm fullreport

ReportVg readVg(const QJsonObject& object, QStringList& problems)
{
    FieldReader field(object, problems, QStringLiteral("%1: volume group").arg(kLvmTool));
    ReportVg vg;
    vg.name = field.text("vg_name");
    field.setWhere(QStringLiteral("%1: volume group \"%2\"").arg(kLvmTool, vg.name));
    vg.uuid = field.text("vg_uuid");
    vg.attr = field.text("vg_attr");
    vg.sizeKiB = field.sizeKiB("vg_size");
    vg.freeKiB = field.sizeKiB("vg_free");
    vg.extentKiB = field.sizeKiB("vg_extent_size");
    vg.extentCount = field.figure("vg_extent_count");
    vg.freeCount = field.figure("vg_free_count");
    vg.pvCount = field.smallFigure("pv_count");
    vg.lvCount = field.smallFigure("lv_count");
    vg.snapCount = field.smallFigure("snap_count");
    vg.maxLv = field.smallFigure("max_lv");
    vg.maxPv = field.smallFigure("max_pv");
    vg.seqno = field.figure("vg_seqno");
    return vg;
}

ReportPv readPv(const QJsonObject& object, const QString& groupName, QStringList& problems)
{
    FieldReader field(object, problems, QStringLiteral("%1: physical volume").arg(kLvmTool));
    ReportPv pv;
    pv.name = field.text("pv_name");
    field.setWhere(QStringLiteral("%1: physical volume \"%2\"").arg(kLvmTool, pv.name));
    pv.vgName = groupName.isEmpty() ? field.text("vg_name") : groupName;
    pv.uuid = field.text("pv_uuid");
    pv.sizeKiB = field.sizeKiB("pv_size");
    pv.devSizeKiB = field.sizeKiB("dev_size");
    pv.peCount = field.figure("pv_pe_count");
    pv.peAllocCount = field.figure("pv_pe_alloc_count");
    return pv;
}

// The character at `index` of an attribute string equals `flag`.
bool attrFlag(const QString& attr, int index, QChar flag)
{
    return attr.size() > index && attr.at(index) == flag;
}

void readLvState(const FieldReader& field, ReportLv& lv)
{
    lv.active =
        field.has("lv_active") ? field.text("lv_active") == QLatin1String("active") : attrFlag(lv.attr, 4, u'a');
    if (field.has("lv_skip_activation")) {
        const QString skip = field.text("lv_skip_activation");
        lv.skipActivation = skip == QLatin1String("skip activation") || skip == QLatin1String("1");
    } else {
        lv.skipActivation = attrFlag(lv.attr, 9, u'k');
    }
    lv.kernelMajor = field.smallFigure("lv_kernel_major", -1);
    lv.kernelMinor = field.smallFigure("lv_kernel_minor", -1);
    // The read-ahead is a size: KiB with "--units k", so twice that in sectors.
    const QString readAhead = field.text("lv_read_ahead").trimmed();
    if (readAhead.isEmpty() || readAhead == QLatin1String("auto"))
        return;
    const std::optional<qint64> kib = parseSizeKiB(readAhead);
    if (kib && *kib <= std::numeric_limits<qint64>::max() / 2)
        lv.readAheadSectors = *kib * 2;
    else
        field.complain("lv_read_ahead", QStringLiteral("\"%1\" is not a size").arg(readAhead));
}

ReportLv readLv(const QJsonObject& object, const QString& groupName, QStringList& problems)
{
    FieldReader field(object, problems, QStringLiteral("%1: logical volume").arg(kLvmTool));
    ReportLv lv;
    lv.name = field.text("lv_name");
    lv.vgName = groupName.isEmpty() ? field.text("vg_name") : groupName;
    field.setWhere(QStringLiteral("%1: logical volume \"%2/%3\"").arg(kLvmTool, lv.vgName, lv.name));
    if (lv.vgName.isEmpty())
        problems.append(QStringLiteral("%1: logical volume \"%2\" has no volume group").arg(kLvmTool, lv.name));
    lv.uuid = field.text("lv_uuid");
    lv.path = field.text("lv_path");
    lv.dmPath = field.text("lv_dm_path");
    lv.attr = field.text("lv_attr");
    lv.role = field.text("lv_role");
    lv.origin = field.text("origin");
    lv.allocationPolicy = field.text("lv_allocation_policy");
    lv.sizeKiB = field.sizeKiB("lv_size");
    lv.originSizeKiB = field.sizeKiB("origin_size");
    lv.segCount = field.smallFigure("seg_count");
    readLvState(field, lv);
    return lv;
}

ReportPvSegment readPvSegment(const QJsonObject& object, QStringList& problems)
{
    FieldReader field(object, problems, QStringLiteral("%1: a segment of a physical volume").arg(kLvmTool));
    ReportPvSegment segment;
    segment.pvUuid = field.text("pv_uuid");
    segment.lvUuid = field.text("lv_uuid");
    field.setWhere(QStringLiteral("%1: a segment of physical volume \"%2\"").arg(kLvmTool, segment.pvUuid));
    segment.start = field.figure("pvseg_start");
    segment.size = field.figure("pvseg_size");
    return segment;
}

// The devices of "seg_pe_ranges": "/dev/loop0:21-22 /dev/loop2:0-1" -> "/dev/loop0", "/dev/loop2".
QStringList devicesOfRanges(const QString& ranges)
{
    QStringList devices;
    for (const QString& range : ranges.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype colon = range.lastIndexOf(u':');
        if (colon > 0)
            devices.append(range.left(colon));
    }
    return devices;
}

ReportLvSegment readLvSegment(const QJsonObject& object, QStringList& problems)
{
    FieldReader field(object, problems, QStringLiteral("%1: a segment of a logical volume").arg(kLvmTool));
    ReportLvSegment segment;
    segment.lvUuid = field.text("lv_uuid");
    field.setWhere(QStringLiteral("%1: a segment of logical volume \"%2\"").arg(kLvmTool, segment.lvUuid));
    segment.type = field.text("segtype");
    segment.startExtent = field.figure("seg_start_pe");
    segment.extentCount = field.figure("seg_size_pe");
    segment.devices = devicesOfRanges(field.text("seg_pe_ranges"));
    return segment;
}

// The group an element of "report" is about: its first "vg" entry with a name. Orphan physical volumes
// come in an element without one (no "vg", an empty one, or a nameless entry).
QString readElementGroup(const QJsonObject& element, const QString& where, LvmReport& report)
{
    QString groupName;
    for (const QJsonObject& object : objectsOf(element, QStringLiteral("vg"), where, report.problems)) {
        const ReportVg vg = readVg(object, report.problems);
        if (vg.name.isEmpty())
            continue;
        if (groupName.isEmpty())
            groupName = vg.name;
        report.vgs.append(vg);
    }
    return groupName;
}

void readReportElement(const QJsonObject& element, LvmReport& report)
{
    const QString& where = kLvmTool;
    QStringList& problems = report.problems;
    const QString groupName = readElementGroup(element, where, report);
    for (const QJsonObject& object : objectsOf(element, QStringLiteral("pv"), where, problems))
        report.pvs.append(readPv(object, groupName, problems));
    for (const QJsonObject& object : objectsOf(element, QStringLiteral("lv"), where, problems))
        report.lvs.append(readLv(object, groupName, problems));
    for (const QJsonObject& object : objectsOf(element, QStringLiteral("pvseg"), where, problems))
        report.pvSegments.append(readPvSegment(object, problems));
    for (const QJsonObject& object : objectsOf(element, QStringLiteral("seg"), where, problems))
        report.lvSegments.append(readLvSegment(object, problems));
}

// The report's segments grouped by logical volume, for resolving each volume's devices.
struct SegmentIndex {
    QHash<QString, QString> pvNameByUuid;
    QSet<QString> pvNames;
    QHash<QString, QList<const ReportLvSegment*>> lvSegments;
    QHash<QString, QList<const ReportPvSegment*>> pvSegments;
};

SegmentIndex indexSegments(const LvmReport& report)
{
    SegmentIndex index;
    for (const ReportPv& pv : report.pvs) {
        index.pvNameByUuid.insert(pv.uuid, pv.name);
        index.pvNames.insert(pv.name);
    }
    for (const ReportLvSegment& segment : report.lvSegments)
        index.lvSegments[segment.lvUuid].append(&segment);
    for (const ReportPvSegment& segment : report.pvSegments) {
        if (!segment.lvUuid.isEmpty())
            index.pvSegments[segment.lvUuid].append(&segment);
    }
    return index;
}

// Every segment must name volumes of the report; one that does not is kept and reported.
void checkSegmentLinks(LvmReport& report, const SegmentIndex& index)
{
    const QHash<QString, QString>& pvNameByUuid = index.pvNameByUuid;
    QSet<QString> lvUuids;
    for (const ReportLv& lv : std::as_const(report.lvs))
        lvUuids.insert(lv.uuid);

    for (const ReportPvSegment& segment : std::as_const(report.pvSegments)) {
        if (!pvNameByUuid.contains(segment.pvUuid))
            report.problems.append(QStringLiteral("%1: a segment names an unknown physical volume (uuid \"%2\")")
                                       .arg(kLvmTool, segment.pvUuid));
        else if (!segment.lvUuid.isEmpty() && !lvUuids.contains(segment.lvUuid))
            report.problems.append(
                QStringLiteral("%1: a segment of physical volume \"%2\" names an unknown logical volume (uuid \"%3\")")
                    .arg(kLvmTool, pvNameByUuid.value(segment.pvUuid), segment.lvUuid));
    }
    for (const ReportLvSegment& segment : std::as_const(report.lvSegments)) {
        if (!lvUuids.contains(segment.lvUuid))
            report.problems.append(QStringLiteral("%1: a segment names an unknown logical volume (uuid \"%2\")")
                                       .arg(kLvmTool, segment.lvUuid));
    }
}

QStringList pvPathsIn(const SegmentIndex& index, const QString& lvUuid)
{
    if (lvUuid.isEmpty())
        return {};
    QStringList paths;
    const auto appendOnce = [&paths](const QString& path) {
        if (!path.isEmpty() && !paths.contains(path))
            paths.append(path);
    };
    QList<const ReportLvSegment*> ownSegments = index.lvSegments.value(lvUuid);
    std::stable_sort(ownSegments.begin(), ownSegments.end(), [](const ReportLvSegment* a, const ReportLvSegment* b) {
        return a->startExtent < b->startExtent;
    });
    for (const ReportLvSegment* segment : std::as_const(ownSegments)) {
        for (const QString& device : segment->devices) {
            if (index.pvNames.contains(device))
                appendOnce(device);
        }
    }
    for (const ReportPvSegment* segment : index.pvSegments.value(lvUuid))
        appendOnce(index.pvNameByUuid.value(segment->pvUuid));
    return paths;
}

// --- Sizes

// Bytes per unit letter of LVM's "--units": powers of 1024 in lower case, of 1000 in upper case; 0 for a
// character that is no unit.
qint64 unitBytes(QChar unit)
{
    if (unit == u'b' || unit == u'B')
        return 1;
    if (unit == u's' || unit == u'S')
        return 512;
    const qsizetype power = QStringView(u"kmgtpe").indexOf(unit) + 1;
    const qsizetype siPower = QStringView(u"KMGTPE").indexOf(unit) + 1;
    qint64 bytes = 1;
    for (qsizetype i = 0; i < power; ++i)
        bytes *= 1024;
    for (qsizetype i = 0; i < siPower; ++i)
        bytes *= 1000;
    return power + siPower > 0 ? bytes : 0;
}

// A decimal number "123" or "123.45" as its digits and the count of them behind the point; at most 18
// digits, so the digits fit a 64-bit figure.
struct DecimalText {
    qint64 digits = 0;
    int fractionDigits = 0;
};

std::optional<DecimalText> parseDecimal(QStringView text)
{
    static constexpr int kMaxDigits = 18;
    DecimalText decimal;
    int digitCount = 0;
    bool afterPoint = false;
    for (const QChar c : text) {
        if (c == u'.' && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (!isAsciiDigit(c) || ++digitCount > kMaxDigits)
            return std::nullopt;
        decimal.digits = decimal.digits * 10 + (c.unicode() - u'0');
        decimal.fractionDigits += afterPoint ? 1 : 0;
    }
    if (digitCount == 0)
        return std::nullopt;
    return decimal;
}

// --- lsblk

qint64 readSizeBytes(const QJsonObject& object, const QString& where, QStringList& problems)
{
    const QJsonValue value = object.value(QLatin1String("size"));
    if (value.isUndefined() || value.isNull())
        return 0;
    bool ok = false;
    qint64 bytes = 0;
    if (value.isDouble()) {
        bytes = value.toInteger(-1);
        ok = bytes >= 0;
    } else if (value.isString()) {
        bytes = value.toString().trimmed().toLongLong(&ok);
        ok = ok && bytes >= 0;
    }
    if (!ok)
        problems.append(QStringLiteral("%1: size is not a number of bytes").arg(where));
    return ok ? bytes : 0;
}

BlockDevice readBlockDevice(const QJsonObject& object, const QString& enclosingName, QStringList& problems)
{
    FieldReader field(object, problems, QStringLiteral("%1: device").arg(kLsblkTool));
    BlockDevice device;
    device.name = field.text("name");
    const QString where = QStringLiteral("%1: device \"%2\"").arg(kLsblkTool, device.name);
    field.setWhere(where);
    device.path = field.text("path");
    device.type = field.text("type");
    const QString parentKernelName = field.text("pkname");
    device.parentName = parentKernelName.isEmpty() ? enclosingName : parentKernelName;
    device.partType = field.text("parttype");
    device.partTypeName = field.text("parttypename");
    device.fsType = field.text("fstype");
    device.mountPoint = field.text("mountpoint");
    device.sizeBytes = readSizeBytes(object, where, problems);
    if (device.type == QLatin1String("part"))
        device.partitionNumber = partitionNumberFromNames(device.name, device.parentName);
    return device;
}

// Appends a device of the listing, then its children (nested under it unless "--list" was given).
void appendBlockDevice(const QJsonObject& object, const QString& enclosingName, QList<BlockDevice>& devices,
                       QStringList& problems)
{
    devices.append(readBlockDevice(object, enclosingName, problems));
    const QString name = devices.constLast().name;
    const QString where = QStringLiteral("%1: device \"%2\"").arg(kLsblkTool, name);
    for (const QJsonObject& child : objectsOf(object, QStringLiteral("children"), where, problems))
        appendBlockDevice(child, name, devices, problems);
}

// --- blkid

// A value of "blkid -o export": a backslash stands before each blank or special character.
QString unescapeExportValue(QStringView value)
{
    QString plain;
    plain.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) == u'\\' && ++i == value.size())
            break;
        plain.append(value.at(i));
    }
    return plain;
}

// The TYPE of a default-form line "/dev/x: LABEL=\"a \\\"b\\\"\" TYPE=\"ext4\"" (quoted values, backslash
// escapes); empty when the line has none.
QString typeOfDefaultLine(QStringView tags)
{
    qsizetype at = 0;
    while (at < tags.size()) {
        while (at < tags.size() && tags.at(at) == u' ')
            ++at;
        const qsizetype equals = tags.indexOf(u'=', at);
        if (equals < 0 || equals + 1 >= tags.size() || tags.at(equals + 1) != u'"')
            return {};
        const QStringView key = tags.mid(at, equals - at);
        QString value;
        at = equals + 2;
        while (at < tags.size() && tags.at(at) != u'"') {
            if (tags.at(at) == u'\\' && at + 1 < tags.size())
                ++at;
            value.append(tags.at(at++));
        }
        if (key == u"TYPE")
            return value;
        ++at; // the closing quote
    }
    return {};
}

} // namespace

LvmReport parseLvmFullReport(const QByteArray& json)
{
    LvmReport report;
    const std::optional<QJsonObject> root = readJsonObject(json, kLvmTool, QStringLiteral("report"), report.problems);
    for (const QJsonObject& element : topLevelObjects(root, QStringLiteral("report"), kLvmTool, report.problems))
        readReportElement(element, report);
    const SegmentIndex index = indexSegments(report);
    checkSegmentLinks(report, index);
    for (ReportLv& lv : report.lvs)
        lv.pvPaths = pvPathsIn(index, lv.uuid);
    return report;
}

QStringList pvPathsOf(const LvmReport& report, const QString& lvUuid)
{
    return pvPathsIn(indexSegments(report), lvUuid);
}

std::optional<qint64> parseSizeKiB(const QString& text)
{
    QStringView number = QStringView(text).trimmed();
    if (number.isEmpty())
        return std::nullopt;
    qint64 bytesPerUnit = 1024;
    if (!isAsciiDigit(number.back()) && number.back() != u'.') {
        bytesPerUnit = unitBytes(number.back());
        number.chop(1);
    }
    const std::optional<DecimalText> decimal = parseDecimal(number);
    if (bytesPerUnit == 0 || !decimal)
        return std::nullopt;
    // Exact in 128 bits: at most 10^18 digits times at most 2^60 bytes per unit.
    __int128 divisor = 1024;
    for (int i = 0; i < decimal->fractionDigits; ++i)
        divisor *= 10;
    const __int128 kib = (static_cast<__int128>(decimal->digits) * bytesPerUnit + divisor / 2) / divisor;
    if (kib > std::numeric_limits<qint64>::max())
        return std::nullopt;
    return static_cast<qint64>(kib);
}

QList<BlockDevice> parseLsblkJson(const QByteArray& json, QStringList* problems)
{
    QStringList found;
    QList<BlockDevice> devices;
    const std::optional<QJsonObject> root = readJsonObject(json, kLsblkTool, QStringLiteral("listing"), found);
    for (const QJsonObject& object : topLevelObjects(root, QStringLiteral("blockdevices"), kLsblkTool, found))
        appendBlockDevice(object, QString(), devices, found);

    QSet<QString> names;
    for (const BlockDevice& device : std::as_const(devices))
        names.insert(device.name);
    for (const BlockDevice& device : std::as_const(devices)) {
        if (!device.parentName.isEmpty() && !names.contains(device.parentName))
            found.append(QStringLiteral("%1: device \"%2\" names an unknown parent \"%3\"")
                             .arg(kLsblkTool, device.name, device.parentName));
    }
    if (problems)
        problems->append(found);
    return devices;
}

int partitionNumberFromNames(const QString& name, const QString& parentName)
{
    static constexpr int kMaxDigits = 9;
    if (parentName.isEmpty() || !name.startsWith(parentName))
        return -1;
    QStringView number = QStringView(name).mid(parentName.size());
    if (number.startsWith(u'p'))
        number = number.mid(1);
    if (number.isEmpty() || number.size() > kMaxDigits || !std::all_of(number.begin(), number.end(), isAsciiDigit))
        return -1;
    return number.toInt();
}

QPair<QString, int> splitTrailingNumber(const QString& devicePath)
{
    static constexpr int kMaxDigits = 9;
    qsizetype start = devicePath.size();
    while (start > 0 && isAsciiDigit(devicePath.at(start - 1)))
        --start;
    const qsizetype digitCount = devicePath.size() - start;
    if (digitCount == 0 || digitCount > kMaxDigits)
        return {devicePath, -1};
    const int number = QStringView(devicePath).mid(start).toInt();
    if (start >= 2 && devicePath.at(start - 1) == u'p' && isAsciiDigit(devicePath.at(start - 2)))
        --start;
    return {devicePath.left(start), number};
}

QHash<QString, QString> parseBlkidTypes(const QByteArray& text)
{
    QHash<QString, QString> types;
    QString exportDevice;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        QString device;
        QString type;
        if (line.isEmpty()) {
            exportDevice.clear();
        } else if (line.startsWith(QLatin1String("DEVNAME="))) {
            exportDevice = unescapeExportValue(QStringView(line).mid(8));
        } else if (line.startsWith(QLatin1String("TYPE="))) {
            device = exportDevice;
            type = unescapeExportValue(QStringView(line).mid(5));
        } else if (const qsizetype colon = line.indexOf(QLatin1String(": ")); colon > 0 && line.startsWith(u'/')) {
            device = line.left(colon);
            type = typeOfDefaultLine(QStringView(line).mid(colon + 2));
        }
        if (!device.isEmpty() && !type.isEmpty())
            types.insert(device, type);
    }
    return types;
}

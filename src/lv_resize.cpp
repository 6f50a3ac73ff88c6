// Growing a logical volume with lvextend and then the file system on it.
#include "lvmdrive.h"

#include "changehold_p.h"
#include "pathlist_p.h"
#include "programs_p.h"
#include "reader_p.h"
#include "utils.h"

#include <QRegularExpression>

namespace {

// Element 0 is a two-character option written together with the new total size in MB ("-L2048").
QString requestedSize(const QStringList& args)
{
    if (args.isEmpty())
        return QString();
    const QString option = args.at(0).simplified();
    return option.right(option.length() - 2);
}

constexpr int kErrorsCorrected = 1;

bool isWholeNumber(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(text).hasMatch();
}

} // namespace

// What a resize request is measured against: a snapshot's copy-on-write area, as lvdisplay
// reports it, or else the volume's size (MB).
int Lv::resizedAreaMb() const
{
    return m_bSnapshot ? m_cowLe * m_leSize : m_size;
}

int Lv::stopResize(const QString& reason, int result)
{
    m_log += reason;
    emit output(m_log);
    return result;
}

// A grow may re-read twice (after lvextend and after the file-system step); resized() tells
// of it once, when the whole call succeeded.
int Lv::resize(const QStringList& args)
{
    GroupChangeHold hold(this);
    m_resizeRefreshes = 0;
    const int result = runResize(args);
    if (result == 0 && m_resizeRefreshes > 0)
        emit resized();
    return result;
}

int Lv::runResize(const QStringList& args)
{
    // The size reaches lvextend and the file-system tools; refuse anything that is not a plain
    // size before a tool runs.
    const QString newSize = requestedSize(args);
    if (args.isEmpty() || args.at(0).simplified().length() < 3 || !isWholeNumber(newSize)) {
        emit output(QStringLiteral("Dynamic Partition not resized: expected the new size as \"-L<MB>\"\n"));
        return -1;
    }
    bool sizeFits = false;
    const int wantedMb = newSize.toInt(&sizeFits);
    if (!sizeFits) {
        emit output(QStringLiteral("Dynamic Partition not resized: size %1 MB is out of range\n").arg(newSize));
        return -1;
    }

    const QStringList oldPvs = splitPathList(m_pvString);
    m_log = QStringLiteral("fs type %1 on Dynamic Partition %2").arg(m_fstype, path());
    const int sizeBefore = resizedAreaMb();

    QString text;
    const int growth =
        runcmd(programPath(Program::Lvm), {QStringLiteral("lvextend"), QStringLiteral("-L") + newSize, path()}, text);
    m_log += text;
    if (growth == 0)
        refreshAfterResize(oldPvs);
    emit output(m_log);

    // The file-system tools are forced: handed a size below the file system's, they cut it, and
    // one past the volume's end destroys it. They run only when the volume really spans the
    // requested size and the request does not shrink anything.
    const int sizeAfter = resizedAreaMb();
    const int failure = growth != 0 ? growth : -1;
    if (wantedMb < sizeBefore)
        return stopResize(tr("Dynamic Partition not resized: %1 MB is below its present size of %2 MB\n")
                              .arg(wantedMb)
                              .arg(sizeBefore),
                          failure);
    if (sizeAfter < wantedMb)
        return stopResize(
            tr("not resize file system: the Dynamic Partition has %1 MB, not %2 MB\n").arg(sizeAfter).arg(wantedMb),
            failure);
    // A snapshot shows its origin's file system: growing its copy-on-write area leaves that alone.
    if (m_bSnapshot) {
        emit output(m_log);
        return 0;
    }

    int result = 0;
    if (m_fstype.contains(QLatin1String("ext"))) {
        result = runcmd(programPath(Program::CheckExt), {QStringLiteral("-y"), QStringLiteral("-f"), path()}, text);
        m_log += text;
        if (!fileSystemCheckPassed(result)) {
            emit output(m_log);
            return result;
        }
        result = runcmd(programPath(Program::ResizeExt),
                        {QStringLiteral("-f"), QStringLiteral("-F"), path(), newSize + QLatin1Char('M')}, text);
    } else if (m_fstype.contains(QLatin1String("reiser"))) {
        // lvextend has already given the volume its size (checked above), so it is not run again.
        result = runcmd(programPath(Program::ResizeReiser),
                        {QStringLiteral("-f"), QStringLiteral("-s"), newSize + QLatin1Char('M'), path()}, text);
    } else {
        m_log += tr("not resize file system, ");
        const bool unknown = m_fstype.contains(QLatin1String("unknown"));
        m_log += unknown ? tr("unknown file system\n") : tr("unsupported file system\n");
        emit output(m_log);
        return unknown ? 0 : -1;
    }

    m_log += text;
    if (result == 0)
        refreshAfterResize(oldPvs);
    emit output(m_log);
    return result;
}

// The volume and, through resizeLv, its group read again from one reading where the tool set allows.
void Lv::refreshAfterResize(const QStringList& oldPvs)
{
    Reader::Scope scope;
    getBasics();
    getPvs();
    ++m_resizeRefreshes;
    emit resizeLv(name(), oldPvs);
}

// e2fsck's 1 means it corrected errors; today's tools are trusted to go on after that, the
// classic set stops at any non-zero code.
bool Lv::fileSystemCheckPassed(int result)
{
    return result == 0 || (result == kErrorsCorrected && toolSet() == ToolSet::Current);
}

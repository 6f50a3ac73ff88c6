// The volume-group manager: discovers every group, owns them, relays their notices and creates new groups.
#include "lvmdrive.h"

#include "lvmparse_p.h"
#include "toolstream_p.h"
#include "pathlist_p.h"
#include "utils.h"

#include <algorithm>
#include <new>

namespace {

constexpr int kGetVgAssertLine = 1359;
constexpr int kAddVgCheckLine = 1496;

// Entries 0-2 are vgcreate options, 3 the group's name, 4 onward its devices.
constexpr int kCreateVgNameIndex = 3;
constexpr int kCreateVgFirstDevice = 4;

} // namespace

Lvm::Lvm(QObject* parent, const char* name) : QObject(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    findVg();
    MyDebug(QStringLiteral("=======V=G=S====&======L=V=S============="));
}

Lvm::~Lvm()
{
    // First to last, as the groups were added.
    for (auto& vg : vgList)
        vg.reset();
    vgList.clear();
}

void Lvm::findVg()
{
    QStringList found;
    const QList<QByteArray> lines = readToolLines(QStringLiteral("/sbin/lvm.static vgscan 2>&1"));
    for (const QByteArray& line : lines) {
        MyDebug(QString::fromLocal8Bit(line));
        const VgscanLine parsed = parseVgscanLine(line);
        if (parsed.isFound)
            found.append(parsed.found);
        if (parsed.isUnreadable)
            errorVgList.append(parsed.unreadable);
    }
    for (const QString& vgName : found) {
        if (!errorVgList.contains(vgName))
            addVg(vgName);
    }
}

void Lvm::addVg(const QString& vgName)
{
    Vg* vg = new (std::nothrow) Vg(vgName.simplified());
    if (!vg)
        qt_check_pointer("lvmdrive", kAddVgCheckLine);
    connect(vg, &Vg::removed, this, &Lvm::slotRemoveVg);
    connect(vg, &Vg::renamed, this, &Lvm::oneVgRenamed);
    connect(vg, &Vg::extended, this, &Lvm::oneVgExtended);
    connect(vg, &Vg::reduced, this, &Lvm::oneVgReduced);
    connect(vg, &Vg::oneLvAdded, this, &Lvm::oneLvAdded);
    connect(vg, &Vg::oneLvRemoved, this, &Lvm::oneLvRemoved);
    connect(vg, &Vg::oneLvRenamed, this, &Lvm::oneLvRenamed);
    connect(vg, &Vg::oneLvResized, this, &Lvm::oneLvResized);
    vgList.emplace_back(vg);
    vg->findLv();
}

bool Lvm::hasVg(const QString& vgName)
{
    return getVg(vgName) != nullptr;
}

Vg* Lvm::getVg(const QString& vgName)
{
    for (const auto& vg : vgList) {
        if (vg->name() == vgName)
            return vg.get();
    }
    return nullptr;
}

Vg* Lvm::getVg(uint index)
{
    if (index >= vgList.size()) {
        assertWarning("vg != NULL", "lvmdrive", kGetVgAssertLine);
        return nullptr;
    }
    return vgList[index].get();
}

bool Lvm::removeVg(uint index)
{
    if (index >= vgList.size())
        return false;
    vgList.erase(vgList.begin() + index);
    return true;
}

bool Lvm::removeVg(const QString& vgName)
{
    const Vg* target = getVg(vgName);
    if (!target)
        return false;
    const auto found = std::find_if(vgList.begin(), vgList.end(),
                                    [target](const std::unique_ptr<Vg>& vg) { return vg.get() == target; });
    vgList.erase(found);
    return true;
}

uint Lvm::vgCount() const
{
    return static_cast<uint>(vgList.size());
}

QStringList Lvm::errorVgName() const
{
    return errorVgList;
}

int Lvm::createVg(const QStringList& args)
{
    if (args.size() <= kCreateVgFirstDevice) {
        emit output(QStringLiteral("createVg: three vgcreate options, a group name and at least one device are "
                                   "needed, %1 entries given\n")
                        .arg(args.size()));
        return -1;
    }
    const QStringList devices = args.mid(kCreateVgFirstDevice);

    QString text;
    int result = createPv(devices, text);
    outputLog += text;
    if (result == 0) {
        result = runcmd(QStringLiteral("/sbin/lvm.static"), QStringList{QStringLiteral("vgcreate")} + args, text);
        outputLog += text;
    }
    if (result == 0) {
        addVg(args.at(kCreateVgNameIndex));
        emit oneVgAdded(QStringLiteral("/dev/") + args.at(kCreateVgNameIndex), devices);
    }
    emit output(outputLog);
    return result;
}

void Lvm::slotRemoveVg(const QString& vgName)
{
    // Copied first: vgName may live in the group that is about to be deleted.
    const QString removedName = vgName;
    const Vg* vg = getVg(removedName);
    if (!vg)
        return;
    const QStringList listPv = splitPathList(vg->pvString());
    if (removeVg(removedName))
        emit oneVgRemoved(listPv);
}

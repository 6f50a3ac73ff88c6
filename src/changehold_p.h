// Holds the changed() notices of a volume group and its volumes, or of the physical tree, while
// one operation runs, so that each object announces a change once, when the operation ends.
#ifndef DOVODODUZU_CHANGEHOLD_P_H
#define DOVODODUZU_CHANGEHOLD_P_H

#include <QPointer>

#include "harddrive.h"
#include "lvmdrive.h"

// Holds a group and its volumes; made on a volume, the volume's group (or the volume alone when
// it has none). Either may be deleted by the operation: what is gone is not released.
class GroupChangeHold
{
public:
    explicit GroupChangeHold(Vg* vg);
    explicit GroupChangeHold(Lv* lv);
    ~GroupChangeHold();
    GroupChangeHold(const GroupChangeHold&) = delete;
    GroupChangeHold& operator=(const GroupChangeHold&) = delete;

private:
    QPointer<Vg> m_vg;
    QPointer<Lv> m_lv;
};

// Holds every partition of the physical tree, which no change deletes.
class HardChangeHold
{
public:
    explicit HardChangeHold(Hard* hard) : m_hard(hard) { m_hard->holdChanges(); }
    ~HardChangeHold() { m_hard->releaseChanges(); }
    HardChangeHold(const HardChangeHold&) = delete;
    HardChangeHold& operator=(const HardChangeHold&) = delete;

private:
    Hard* m_hard;
};

#endif

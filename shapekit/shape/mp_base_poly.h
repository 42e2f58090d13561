// Processing-module base for polyphonic modules: the host makes one clone of
// the module per voice, and the clones share one block of common data (a
// large table computed once for all voices), found through the host's clone
// iterator.
//
// The clones of one module form a group: a list in the host's order whose
// head, the first clone, owns the common data. A clone that is destroyed
// leaves the group; when the first clone goes before the others, the next one
// becomes the first clone and takes the data over, so the data lives exactly
// as long as one clone of the group does.
#pragma once

#include "mp_sdk_audio.h"

namespace qw
{
template <class CommonData> class MpBasePoly : public MpBase2
{
public:
    MpBasePoly* firstClone = nullptr; // head of the group; owns common
    CommonData* common = nullptr;     // shared by the whole group

    MpBasePoly() = default;
    ~MpBasePoly() override { leaveGroup(); }

    int32_t open() override
    {
        if (!firstClone)
            setFirstClone();
        return MpBase2::open();
    }

    // Links every clone the host lists to the first clone. Clones that joined
    // a group earlier keep it; a clone the host does not list (or a host
    // without clones) forms a group of its own.
    void setFirstClone()
    {
        gmpi_sdk::mp_shared_ptr<gmpi::IMpCloneIterator> it = cloneIterator();
        if (it)
        {
            it->first();
            gmpi::IMpUnknown* clone = nullptr;
            MpBasePoly* head = nullptr;
            if (it->next(&clone) == gmpi::MP_OK)
                head = asClone(clone);
            if (head)
            {
                // The host's first clone may have left already; its group
                // went on under the next one.
                if (head->firstClone)
                    head = head->firstClone;
                else
                    head->firstClone = head;
                MpBasePoly* tail = head;
                while (tail->nextClone_)
                    tail = tail->nextClone_;
                it->first();
                while (it->next(&clone) == gmpi::MP_OK)
                {
                    MpBasePoly* m = asClone(clone);
                    if (!m || m->firstClone)
                        continue;
                    m->firstClone = head;
                    m->common = head->common;
                    tail->nextClone_ = m;
                    tail = m;
                }
            }
        }
        if (!firstClone)
        {
            firstClone = this;
            nextClone_ = nullptr;
        }
    }

    // Gives the group its common data: the group's own when it has some,
    // else one new block that every clone of the group then points at.
    void allocCommonData()
    {
        if (!firstClone)
            setFirstClone();
        CommonData* data = firstClone->common;
        if (!data)
            data = new CommonData();
        for (MpBasePoly* m = firstClone; m; m = m->nextClone_)
            m->common = data;
        common = data;
    }

    // The clones of this group, the first clone first.
    template <class F> void forEachClone(F f)
    {
        for (MpBasePoly* m = firstClone; m; m = m->nextClone_)
            f(*m);
    }

private:
    gmpi_sdk::mp_shared_ptr<gmpi::IMpCloneIterator> cloneIterator()
    {
        gmpi_sdk::mp_shared_ptr<gmpi::IMpCloneIterator> it;
        if (!getHost())
            return it;
        gmpi_sdk::mp_shared_ptr<gmpi::IMpUnknown> object;
        getHost()->createCloneIterator(object.getAddressOf());
        if (object)
            object->queryInterface(gmpi::MP_IID_CLONE_ITERATOR, it.asIMpUnknownPtr());
        return it;
    }

    static MpBasePoly* asClone(gmpi::IMpUnknown* clone) { return clone ? dynamic_cast<MpBasePoly*>(clone) : nullptr; }

    void leaveGroup()
    {
        if (!firstClone)
            return;
        if (firstClone == this)
        {
            // The next clone becomes the first and owns the data from now on;
            // the last clone of the group frees it.
            MpBasePoly* heir = nextClone_;
            for (MpBasePoly* m = heir; m; m = m->nextClone_)
                m->firstClone = heir;
            if (!heir)
                delete common;
        }
        else
        {
            for (MpBasePoly* m = firstClone; m; m = m->nextClone_)
                if (m->nextClone_ == this)
                {
                    m->nextClone_ = nextClone_;
                    break;
                }
        }
        firstClone = nullptr;
        nextClone_ = nullptr;
        common = nullptr;
    }

    MpBasePoly* nextClone_ = nullptr; // the next clone of the group
};
} // namespace qw

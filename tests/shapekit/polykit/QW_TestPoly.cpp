// A polyphonic test module over the shared-data base: it reports how many
// blocks of common data are alive in this bundle, how many clones its group
// has, whether it is the group's first clone, and a value shared by the group.
#include "mp_base_poly.h"

namespace
{
int g_live = 0; // common data blocks alive in this bundle

struct PolyData
{
    PolyData() { ++g_live; }
    ~PolyData() { --g_live; }
    PolyData(const PolyData&) = delete;
    PolyData& operator=(const PolyData&) = delete;
    int value = 0;
};
} // namespace

class QW_TestPoly : public qw::MpBasePoly<PolyData>
{
public:
    QW_TestPoly()
    {
        initializePin(write_);
        initializePin(poll_);
        initializePin(live_);
        initializePin(group_);
        initializePin(first_);
        initializePin(shared_);
    }

    int32_t open() override
    {
        const int32_t r = MpBasePoly::open();
        if (!common)
            allocCommonData();
        return r;
    }

    void onSetPins() override
    {
        if (write_.isUpdated())
            common->value = write_;
        int clones = 0;
        forEachClone([&clones](MpBasePoly&) { ++clones; });
        live_ = g_live;
        group_ = clones;
        first_ = firstClone == this;
        shared_ = common->value;
    }

private:
    IntInPin write_;
    IntInPin poll_;
    IntOutPin live_;
    IntOutPin group_;
    BoolOutPin first_;
    IntOutPin shared_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_TestPoly", &gmpi::Register<QW_TestPoly>::withId);
}

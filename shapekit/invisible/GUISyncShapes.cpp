// Keeps the node x layout of two shapes in step: a new shape on the leading
// side brings the other shape's nodes to its x positions (nodes it gains get
// a level given in user units) and sends that shape back on its pin.
#include "shape_tool.h"

#include <cstring>

class QW_GUI_SyncShapes : public MpGuiInvisibleBase
{
public:
    QW_GUI_SyncShapes()
    {
        initializePin(shapeA_, &QW_GUI_SyncShapes::onSetShapeA);
        initializePin(shapeB_, &QW_GUI_SyncShapes::onSetShapeB);
        initializePin(levelA_);
        initializePin(levelB_);
        initializePin(aLeads_);
        initializePin(bLeads_);
        // With both leads on, a follower coming back would lead in turn.
        expectOwnEchoes();
    }

private:
    void onSetShapeA()
    {
        if (guard_.raised() || !aLeads_)
            return;
        const qw::Shape lead = qw::shapeOf(shapeA_.getValue());
        qw::Shape follow = qw::shapeOf(shapeB_.getValue());
        upDate(lead, follow, qw::yFromUser(levelB_));
        qw::transmitShape(*this, shapeB_.getId(), follow, guard_);
    }

    void onSetShapeB()
    {
        if (guard_.raised() || !bLeads_)
            return;
        const qw::Shape lead = qw::shapeOf(shapeB_.getValue());
        qw::Shape follow = qw::shapeOf(shapeA_.getValue());
        upDate(lead, follow, qw::yFromUser(levelA_));
        qw::transmitShape(*this, shapeA_.getId(), follow, guard_);
    }

    // Brings the follower's x layout to the leader's.
    static void upDate(const qw::Shape& lead, qw::Shape& follow, float level)
    {
        const int32_t nL = lead.count, nF = follow.count;
        if (nL == nF)
        {
            takeLeaderX(lead, follow);
            return;
        }
        if (nL >= 3)
        {
            const float ny = qw::clampLevel(level);
            for (int32_t j = 1; j <= nL - 2; ++j)
                follow.addNode({lead.nodes[j].x, ny});
        }
        if (nF >= 3)
        {
            // Follower nodes whose x the leader lacks go. The walk covers the
            // follower's indices below a bound that starts at its count before
            // the insertions less one and falls with every unmatched node.
            int32_t bound = nF - 1;
            for (int32_t i = 1; i < bound;)
            {
                if (hasX(lead, follow.nodes[i].x))
                {
                    ++i;
                    continue;
                }
                --bound;
                if (i >= follow.count - 1)
                    continue; // the last node stays
                std::memmove(&follow.nodes[i], &follow.nodes[i + 1],
                             static_cast<size_t>(follow.count - 1 - i) * sizeof(qw::Shape::Node));
                --follow.count;
                follow.changed = 1;
            }
        }
    }

    static bool hasX(const qw::Shape& s, float x)
    {
        for (int32_t k = 0; k < s.count; ++k)
            if (s.nodes[k].x == x)
                return true;
        return false;
    }

    // Equal counts: the leader's x with the follower's own y, taken only when
    // that makes a well-formed shape.
    static void takeLeaderX(const qw::Shape& lead, qw::Shape& follow)
    {
        const int32_t n = lead.count;
        follow.invalid = 1;
        if (n < 2 || n > qw::Shape::kMaxNodes)
            return;
        qw::Shape::Node t[qw::Shape::kMaxNodes];
        for (int32_t k = 0; k < n; ++k)
        {
            t[k] = {lead.nodes[k].x, follow.nodes[k].y};
            if (!(t[k].y >= -1.f && t[k].y <= 1.f))
                return;
            if (k > 0 && !(t[k].x + 1.f > t[k - 1].x + 1.f))
                return;
        }
        if (!(t[0].x == 0.f) || !(t[n - 1].x == 1.f))
            return;
        follow.invalid = 0;
        if (follow._importNodes(t, n))
            follow.changed = 1;
    }

    MpGuiPin<MpBlob> shapeA_;
    MpGuiPin<MpBlob> shapeB_;
    MpGuiPin<float> levelA_;
    MpGuiPin<float> levelB_;
    MpGuiPin<bool> aLeads_;
    MpGuiPin<bool> bLeads_;
    qw::ShapeEchoGuard guard_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_SyncShapes", &gmpi::Register<QW_GUI_SyncShapes>::withId);
}

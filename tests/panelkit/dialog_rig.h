// One invisible module of panelkit on its own host for the browser and
// dialog tests: names resolve in a given resource folder, the host echoes as
// asked, and a graphics host makes the dialogs from a scripted desk. Held-back
// echoes are delivered after every delivery and every move of the clock.
//
//   Rig r(L"QW_OKCancelDialog", Echo::Later, res());
//   r.setBool(2, true);
//   r.dialogs.lastOkCancel()->pressOk();
//   r.settle();
//   EXPECT_EQ(r.bools(3), (std::vector<bool>{true, false}));
#pragma once

#include "dialogs.h"
#include "drawing/drawn_view.h"
#include "run_loop.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qwtest
{
class Rig
{
public:
    // Without `graphics` the host offers no graphics host; without `start`
    // no pin defaults and no initialize.
    Rig(const std::wstring& id, qwhost::Echo echo, const std::string& resources, bool start = true,
        bool graphics = true)
    {
        host.echo = echo;
        host.resourceFolder = resources;
        desk = std::make_unique<qwhost::DrawingDesk>(host);
        desk->offerGraphicsHost = graphics;
        desk->dialogs = &dialogs;
        g = host.create(bundle("panelkit"), id, start);
        settle();
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    void settle()
    {
        if (g)
            EXPECT_TRUE(g->settleEchoes()) << "the module's echoes keep coming back";
    }
    void setText(int pin, const std::wstring& v) { g->setText(pin, v), settle(); }
    void setInt(int pin, int32_t v) { g->setInt(pin, v), settle(); }
    void setBool(int pin, bool v) { g->setBool(pin, v), settle(); }
    void trigger(int pin)
    {
        setBool(pin, true);
        setBool(pin, false);
    }
    // The manual clock moves on (the test chose it), timers run.
    void wait(double ms)
    {
        qwhost::RunLoop::current().advance(ms);
        settle();
    }

    // What the module sent, from the last clear on.
    std::vector<std::wstring> texts(int pin) const
    {
        std::vector<std::wstring> v;
        for (auto* t : g->transmitsOf(pin))
            v.push_back(t->asText());
        return v;
    }
    std::vector<int> ints(int pin) const
    {
        std::vector<int> v;
        for (auto* t : g->transmitsOf(pin))
            v.push_back(t->asInt());
        return v;
    }
    std::vector<bool> bools(int pin) const
    {
        std::vector<bool> v;
        for (auto* t : g->transmitsOf(pin))
            v.push_back(t->asBool());
        return v;
    }
    // Every value sent, as (pin, value as text) in order; ints and bools as numbers.
    std::vector<std::pair<int, std::wstring>> sent() const
    {
        std::vector<std::pair<int, std::wstring>> v;
        for (auto& t : g->transmits)
        {
            const int type = g->pinInfo(t.pin).datatype;
            v.emplace_back(t.pin, type == gmpi::MP_STRING ? t.asText()
                                  : type == gmpi::MP_BOOL ? std::to_wstring(t.asBool())
                                                          : std::to_wstring(t.asInt()));
        }
        return v;
    }
    void clear() { g->transmits.clear(); }

    qwhost::GuiHost host;
    qwhost::Dialogs dialogs;
    std::unique_ptr<qwhost::DrawingDesk> desk;
    std::unique_ptr<qwhost::GuiModule> g;
};
} // namespace qwtest

// A drawing surface of the stand-in for tests: factory, bitmap and the
// context the host would hand to OnRender.
#pragma once

#include "Drawing.h"
#include "drawing/drawing.h"

namespace drawtest
{
// Reference count of a counted object, read without changing it.
inline int32_t refs(gmpi::IMpUnknown* p)
{
    p->addRef();
    return p->release();
}

struct Canvas
{
    qwhost::drawing::Factory* factory;
    qwhost::drawing::Bitmap* bitmap;
    qwhost::drawing::DeviceContext* context;

    Canvas(int width, int height)
        : factory(new qwhost::drawing::Factory()), bitmap(factory->createBitmap(width, height)),
          context(factory->createContext(bitmap))
    {
        context->BeginDraw();
    }
    ~Canvas()
    {
        context->release();
        bitmap->release();
        factory->release();
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    GmpiDrawing::Graphics graphics() const { return GmpiDrawing::Graphics(context); }
    qwhost::drawing::Bitmap::Pixel at(int x, int y) const { return bitmap->pixel(x, y); }
};
} // namespace drawtest

#include <cmath>

#include "qw_shape.h"

namespace qw
{

Shape::Interpolator::Interpolator(int n)
{
    resize(n);
}

Shape::Interpolator::Interpolator(const Shape& s, int n)
{
    if (s.itp != shape.itp)
    {
        shape.itp = s.itp;
        shape.changed = 1;
    }
    if (shape._importNodes(s.nodes, s.count))
        shape.changed = 1;
    resize(n < 0 ? 0 : n);
}

void Shape::Interpolator::resize(int n)
{
    if (n <= 0 || n == N)
        return;
    N = n;
    table.assign(static_cast<size_t>(n) + 1, 0.f);
    renderedN = 0;
    invN = 1.f / static_cast<float>(n);
}

bool Shape::Interpolator::render()
{
    readPos = 0;
    if (shape.changed == 0 && renderedN != 0)
        return false;
    shape.changed = 0;
    if (N < 16)
    {
        renderedN = 0;
        return true;
    }
    switch (shape.itp)
    {
    case kItpNone:
        _renderNone();
        break;
    case kItpLinear:
        _renderLinear();
        break;
    case kItpLocalSpline:
        _renderLocalSplines();
        break;
    case kItpNaturalSpline:
        _renderNaturalSplines();
        break;
    default:
        break;
    }
    // Nodes from a blob are taken as they are; whatever they hold, a table
    // never carries NaN or infinity to its readers.
    float* t = table.data();
    for (int i = 0; i < N; ++i)
        if (!std::isfinite(t[i]))
            t[i] = 0.f;
    renderedN = N;
    return true;
}

// Entries that no segment reached (the last node lies before x = 1, or the
// accumulated position ran past 1 early) hold the last node's y, so nothing of
// an earlier render is left behind.
int Shape::Interpolator::finish(int i)
{
    const int n = shape.count;
    const float yLast = shape.nodes[n > 0 ? n - 1 : 0].y;
    float* t = table.data();
    for (; i < N; ++i)
        t[i] = yLast;
    return i;
}

void Shape::Interpolator::_renderNone()
{
    if (N < 2)
        return;
    const int n = shape.count;
    const Node* p = shape.nodes;
    float* t = table.data();
    const int last = N - 1;
    for (int i = 1; i < last; ++i)
        t[i] = 0.f;
    const float scale = static_cast<float>(last);
    for (int k = 1; k < n - 1; ++k)
    {
        const float pos = p[k].x * scale;
        if (!(pos >= 0.f && pos < scale))
            continue; // only nodes inside the table
        const int i = static_cast<int>(pos);
        const float f = pos - static_cast<float>(i);
        t[i] += (1.f - f) * p[k].y;
        t[i + 1] += f * p[k].y;
    }
    t[0] = p[0].y;
    t[last] = p[n > 0 ? n - 1 : 0].y;
}

void Shape::Interpolator::_renderLinear()
{
    if (N < 2)
        return;
    const int n = shape.count;
    const Node* p = shape.nodes;
    float* t = table.data();
    const int last = N - 1;
    if (n < 2)
    {
        t[last] = p[0].y;
        return;
    }
    const float step = 1.f / static_cast<float>(last);
    float pos = 0.f;
    int i = 0;
    for (int k = 0; k < n - 1 && i < last; ++k)
    {
        const float x0 = p[k].x, x1 = p[k + 1].x;
        if (!(x1 > pos))
            continue;
        const float h = x1 - x0;
        if (!(h > 0.f))
            continue; // a degenerate segment (only from a blob)
        const float inv = 1.f / h;
        const float y0 = p[k].y, y1 = p[k + 1].y;
        const float u = (pos - x0) * inv;
        float v = (1.f - u) * y0 + u * y1;
        const float inc = (y1 - y0) * step * inv;
        for (; x1 > pos && i < last; ++i)
        {
            t[i] = v;
            v += inc;
            pos += step;
        }
    }
    finish(i);
}

void Shape::Interpolator::_renderLocalSplines()
{
    const int n = shape.count;
    if (n <= 2)
    {
        _renderLinear();
        return;
    }
    if (N < 2)
        return;
    const Node* p = shape.nodes;
    float* t = table.data();
    const int last = N - 1;

    // Slope at each inner node: the secant through its neighbours.
    float* m = scratch[0];
    for (int k = 1; k < n - 1; ++k)
    {
        const float dx = p[k + 1].x - p[k - 1].x;
        m[k] = dx > 0.f ? (p[k + 1].y - p[k - 1].y) / dx : 0.f;
    }

    const float step = 1.f / static_cast<float>(last);
    float pos = 0.f;
    int i = 0;
    for (int k = 0; k < n - 1 && i < last; ++k)
    {
        const float x0 = p[k].x, x1 = p[k + 1].x;
        if (!(x1 > pos))
            continue;
        const float h = x1 - x0;
        if (!(h > 0.f))
            continue;
        const float y0 = p[k].y;
        const float d = p[k + 1].y - y0;
        float c1, c2, c3 = 0.f;
        if (k == 0)
        { // parabola meeting node 1 with its slope
            c1 = 2.f * d - h * m[1];
            c2 = h * m[1] - d;
        }
        else if (k == n - 2)
        { // parabola leaving node k with its slope
            c1 = h * m[k];
            c2 = d - h * m[k];
        }
        else
        { // cubic Hermite
            c1 = h * m[k];
            c2 = 3.f * d - 2.f * h * m[k] - h * m[k + 1];
            c3 = -2.f * d + h * (m[k] + m[k + 1]);
        }
        const float inv = 1.f / h;
        float u = (pos - x0) * inv;
        const float du = step * inv;
        for (; x1 > pos && i < last; ++i)
        {
            t[i] = y0 + ((c3 * u + c2) * u + c1) * u;
            u += du;
            pos += step;
        }
    }
    finish(i);
}

// Cubic spline through the nodes and a virtual node at (0, 0) after the last
// one, with zero curvature at node 0 and at the virtual node.
void Shape::Interpolator::_renderNaturalSplines()
{
    const int n = shape.count;
    if (n <= 2)
    {
        _renderLinear();
        return;
    }
    if (N < 2)
        return;
    const Node* p = shape.nodes;
    const int m = n - 1;
    float* h = scratch[0];
    float* alpha = scratch[1];
    float* l = scratch[2];
    float* mu = scratch[3];
    float* z = scratch[4];
    float* d = scratch[5];
    float* c = scratch[6];
    float* b = scratch[7];

    auto xAt = [&](int i) { return i <= m ? p[i].x : 0.f; };
    auto yAt = [&](int i) { return i <= m ? p[i].y : 0.f; };

    for (int i = 0; i < m; ++i)
    {
        h[i] = p[i + 1].x - p[i].x;
        if (!(h[i] > 0.f))
        { // x must increase (only a blob can break that)
            _renderLinear();
            return;
        }
    }
    h[m] = -p[m].x;
    for (int i = 1; i <= m; ++i)
        alpha[i] = 3.f * ((yAt(i + 1) - p[i].y) / h[i] - (p[i].y - p[i - 1].y) / h[i - 1]);
    l[0] = 1.f;
    mu[0] = 0.f;
    z[0] = 0.f;
    for (int i = 1; i <= m; ++i)
    {
        l[i] = 2.f * (xAt(i + 1) - p[i - 1].x) - h[i - 1] * mu[i - 1];
        if (l[i] == 0.f || !std::isfinite(l[i]))
        {
            _renderLinear();
            return;
        }
        mu[i] = h[i] / l[i];
        z[i] = (alpha[i] - h[i - 1] * z[i - 1]) / l[i];
    }
    c[m] = z[m];
    for (int j = m - 1; j >= 0; --j)
    {
        c[j] = z[j] - mu[j] * c[j + 1];
        b[j] = (p[j + 1].y - p[j].y) / h[j] - h[j] * (2.f * c[j] + c[j + 1]) / 3.f;
        d[j] = (c[j + 1] - c[j]) / (3.f * h[j]);
    }

    float* t = table.data();
    const int last = N - 1;
    const float step = 1.f / static_cast<float>(last);
    float pos = 0.f;
    int i = 0;
    for (int k = 0; k < m && i < last; ++k)
    {
        const float x0 = p[k].x, x1 = p[k + 1].x;
        for (; x1 > pos && i < last; ++i)
        {
            const float u = pos - x0;
            t[i] = p[k].y + ((d[k] * u + c[k]) * u + b[k]) * u;
            pos += step;
        }
    }
    finish(i);
}

} // namespace qw

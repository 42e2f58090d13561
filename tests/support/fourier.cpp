#include "fourier.h"

#include <algorithm>
#include <cmath>

namespace qwtest
{
namespace
{
constexpr double kPi = 3.14159265358979323846;

double hann(size_t i, size_t n)
{
    return 0.5 - 0.5 * std::cos(2 * kPi * static_cast<double>(i) / static_cast<double>(n));
}
} // namespace

void fft(std::vector<std::complex<double>>& x)
{
    const size_t n = x.size();
    for (size_t i = 1, j = 0; i < n; ++i)
    {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(x[i], x[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1)
    {
        const double a = -2 * kPi / static_cast<double>(len);
        for (size_t i = 0; i < n; i += len)
            for (size_t k = 0; k < len / 2; ++k)
            {
                const std::complex<double> w = std::polar(1.0, a * static_cast<double>(k));
                const std::complex<double> u = x[i + k], v = x[i + k + len / 2] * w;
                x[i + k] = u + v;
                x[i + k + len / 2] = u - v;
            }
    }
}

Spectrum::Spectrum(const std::vector<float>& y, size_t from, size_t n) : n_(n), windowEnergy_(0)
{
    std::vector<std::complex<double>> x(n);
    for (size_t i = 0; i < n; ++i)
    {
        const double w = hann(i, n);
        windowEnergy_ += w * w;
        x[i] = w * (from + i < y.size() ? static_cast<double>(y[from + i]) : 0.0);
    }
    fft(x);
    power_.resize(n / 2 + 1);
    for (size_t k = 0; k <= n / 2; ++k)
        power_[k] = std::norm(x[k]);
}

double Spectrum::amplitudeAt(double f, double rate, int halfWidth) const
{
    const long centre = std::lround(binOf(f, rate));
    double e = 0;
    for (long k = centre - halfWidth; k <= centre + halfWidth; ++k)
        if (k >= 0 && k < static_cast<long>(power_.size()))
            e += power_[size_t(k)];
    // A cos of amplitude A puts n A^2 sum(w^2) / 4 into the positive bins.
    return std::sqrt(4 * e / (static_cast<double>(n_) * windowEnergy_));
}

double Spectrum::frequencyNear(double f, double rate, int search) const
{
    const long centre = std::lround(binOf(f, rate));
    long best = centre;
    for (long k = centre - search; k <= centre + search; ++k)
        if (k > 0 && k < static_cast<long>(power_.size()) && power_[size_t(k)] > power_[size_t(best)])
            best = k;
    double sum = 0, moment = 0;
    for (long k = best - 2; k <= best + 2; ++k)
        if (k >= 0 && k < static_cast<long>(power_.size()))
        {
            sum += power_[size_t(k)];
            moment += power_[size_t(k)] * static_cast<double>(k);
        }
    return sum > 0 ? moment / sum * rate / static_cast<double>(n_) : 0.0;
}

std::vector<double> averagePower(const std::vector<float>& y, size_t n)
{
    std::vector<double> sum(n / 2 + 1, 0.0);
    double windowEnergy = 0;
    for (size_t i = 0; i < n; ++i)
        windowEnergy += hann(i, n) * hann(i, n);
    size_t count = 0;
    for (size_t from = 0; from + n <= y.size(); from += n / 2, ++count)
    {
        const Spectrum s(y, from, n);
        for (size_t k = 0; k <= n / 2; ++k)
            sum[k] += s.power()[k];
    }
    // E|X_k|^2 = v sum(w^2) for white noise of variance v; one-sided doubles it.
    for (auto& p : sum)
        p = count ? 2 * p / (static_cast<double>(count) * windowEnergy * static_cast<double>(n)) : 0.0;
    return sum;
}

double bandPower(const std::vector<double>& power, size_t n, double rate, double f1, double f2)
{
    double e = 0;
    for (size_t k = 0; k < power.size(); ++k)
    {
        const double f = static_cast<double>(k) * rate / static_cast<double>(n);
        if (f >= f1 && f < f2)
            e += power[k];
    }
    return e;
}
} // namespace qwtest

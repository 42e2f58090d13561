// Spectra of recorded signals, in double: an in-place radix-2 FFT, the
// Hann-windowed spectrum of one stretch, and measurements on it (the
// amplitude and frequency of a sine component, power in a band). A sine's
// amplitude is read from the energy of its window lobe, so it does not depend
// on where its frequency falls between two bins.
//
//   qwtest::Spectrum s(y, 4096, 65536);              // from sample 4096, 2^16 points
//   double a = s.amplitudeAt(440.0, 44100.0);        // ~ the sine's amplitude
//   double f = s.frequencyNear(440.0, 44100.0);      // ~ its frequency
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace qwtest
{
// In place; the size is a power of 2.
void fft(std::vector<std::complex<double>>& x);

class Spectrum
{
public:
    // y[from, from + n) through a Hann window; n a power of 2.
    Spectrum(const std::vector<float>& y, size_t from, size_t n);

    size_t size() const { return n_; }
    // |X_k|^2 for k = 0 .. n/2.
    const std::vector<double>& power() const { return power_; }
    double binOf(double f, double rate) const { return f * static_cast<double>(n_) / rate; }

    // Amplitude of a sine near f: the energy of the bins within `halfWidth`
    // of f's bin (the window's lobe is 2 bins each side).
    double amplitudeAt(double f, double rate, int halfWidth = 3) const;
    // The power-weighted centre of the lobe around the largest bin within
    // `search` bins of f, in hertz.
    double frequencyNear(double f, double rate, int search = 4) const;

private:
    size_t n_;
    double windowEnergy_; // sum of the window's squares
    std::vector<double> power_;
};

// Welch's average: the mean of Hann-windowed |X_k|^2 over stretches of n
// overlapping by half, k = 0 .. n/2, scaled to a one-sided power per bin (a
// white signal of variance v reads 2v / n in every bin but the ends).
std::vector<double> averagePower(const std::vector<float>& y, size_t n);
// The sum of a power per bin over [f1, f2).
double bandPower(const std::vector<double>& power, size_t n, double rate, double f1, double f2);
} // namespace qwtest

// SPDX-License-Identifier: MIT
#pragma once

// Reads what the tone left in a recording: 16-bit mono samples at 48 kHz.

#include <QtGlobal>
#include <cstdlib>
#include <vector>

namespace samples {

constexpr int rate = 48000;
constexpr int framesPerMs = rate / 1000;

using Samples = std::vector<qint16>;

// From the upward zero crossings, placed between samples by linear interpolation.
inline double frequencyOf(const Samples &samples, std::size_t from, std::size_t to)
{
    double first = -1;
    double last = -1;
    int crossings = 0;
    for (std::size_t i = from; i + 1 < to && i + 1 < samples.size(); ++i) {
        if (samples[i] < 0 && samples[i + 1] >= 0) {
            last = double(i) + double(-samples[i]) / double(samples[i + 1] - samples[i]);
            first = first < 0 ? last : first;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * rate / (last - first);
}

// One stretch of sound between silences.
struct Burst
{
    std::size_t from; // first loud sample
    std::size_t to;   // one past the last loud sample
    double startMs() const { return double(from) / framesPerMs; }
    double lengthMs() const { return double(to - from) / framesPerMs; }
};

// The stretches louder than a quarter of full scale, apart from each other by more than 10 ms of
// quiet; a 900 Hz sine is quiet for well under a millisecond around each zero crossing.
inline std::vector<Burst> burstsIn(const Samples &samples)
{
    constexpr int loud = 32767 / 4;
    constexpr std::size_t gap = 10 * framesPerMs;
    std::vector<Burst> bursts;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) < loud)
            continue;
        if (bursts.empty() || i - bursts.back().to > gap)
            bursts.push_back({i, i + 1});
        bursts.back().to = i + 1;
    }
    return bursts;
}

} // namespace samples

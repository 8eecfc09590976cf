// SPDX-License-Identifier: MIT
#include "platform/tonewave.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tonewave {

namespace {
// Loud, with some headroom for plugins that resample: a full-scale sine overshoots there.
constexpr double kAmplitude = 0.7 * 32767;
constexpr qint64 kFadeFrames = 5 * framesPerMs;
} // namespace

// A sine with raised-cosine edges: a tone that starts or ends at full amplitude clicks.
void synthesize(std::vector<qint16> &chunk, int frequencyHz, qint64 total, qint64 first,
                qint64 count)
{
    chunk.resize(std::size_t(count));
    const double step = 2 * std::numbers::pi * frequencyHz / rate;
    for (qint64 i = 0; i < count; ++i) {
        const qint64 frame = first + i;
        const qint64 edge = std::min(frame, total - 1 - frame);
        const double envelope =
            edge >= kFadeFrames
                ? 1.0
                : 0.5 * (1 - std::cos(std::numbers::pi * double(edge) / double(kFadeFrames)));
        chunk[std::size_t(i)] =
            qint16(std::lround(kAmplitude * envelope * std::sin(step * double(frame))));
    }
}

} // namespace tonewave

// SPDX-License-Identifier: MIT
#include "platform/tone.h"

namespace {
class Silence final : public Tone
{
public:
    void play(int /*frequencyHz*/, int /*durationMs*/) override {}
    void stop() override {}
};
} // namespace

Tone &Tone::fallback()
{
    static Silence silence;
    return silence;
}

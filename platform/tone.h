// SPDX-License-Identifier: MIT
#pragma once

#include "platform/seam.h"

// The alarm tone. Playing never blocks the caller: the window must keep answering while it sounds.
// Silent until the sound device's is installed.
class Tone : public Seam<Tone>
{
public:
    virtual ~Tone() = default;

    // Starts a sine tone of the given frequency and length; a tone still sounding is cut off first.
    virtual void play(int frequencyHz, int durationMs) = 0;
    // Silences a tone in progress at once; does nothing when none sounds.
    virtual void stop() = 0;

private:
    friend Seam<Tone>;
    static Tone &fallback();
};

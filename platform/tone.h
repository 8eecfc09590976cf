// SPDX-License-Identifier: MIT
#pragma once

// The alarm tone. Playing never blocks the caller: the window must keep answering while it sounds.
class Tone
{
public:
    virtual ~Tone() = default;

    // Starts a sine tone of the given frequency and length; a tone still sounding is cut off first.
    virtual void play(int frequencyHz, int durationMs) = 0;
    // Silences a tone in progress at once; does nothing when none sounds.
    virtual void stop() = 0;

    // The program-wide tone: the sound device's, unless a test has put its own in place.
    static Tone &current();
    // Puts a tone in place of the sound device's; nullptr restores it. The caller keeps ownership.
    static void replace(Tone *tone);
};

// SPDX-License-Identifier: MIT
#pragma once

#include "platform/tone.h"

#include <memory>
#include <thread>

// The tone on ALSA's "default" device, or, where that device leads to a sound server, straight to
// the server. A worker thread of its own opens, writes and closes the device, because desktops
// route "default" to sound servers that may answer slowly, or not at all while they hang, and the
// window must go on showing the time and taking the stop meanwhile.
// play() and stop() only hand over the latest request and return at once; a request that comes
// while the worker is stuck replaces the one before it.
class AlsaTone final : public Tone
{
public:
    AlsaTone();
    // Waits a moment for the worker to close the device, and leaves it behind if the device hangs.
    ~AlsaTone() override;
    AlsaTone(const AlsaTone &) = delete;
    AlsaTone &operator=(const AlsaTone &) = delete;

    void play(int frequencyHz, int durationMs) override;
    void stop() override;

    // The latest request, shared by this object and the worker, which may outlive it.
    struct Requests;

private:
    void request(int frequencyHz, int durationMs);

    std::shared_ptr<Requests> m_requests;
    std::thread m_worker;
};

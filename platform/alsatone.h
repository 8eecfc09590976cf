// SPDX-License-Identifier: MIT
#pragma once

#include "platform/tone.h"

#include <QElapsedTimer>
#include <QTimer>
#include <vector>

// Spelled as in <alsa/asoundlib.h>, which stays out of this header.
typedef struct _snd_pcm snd_pcm_t;

// The tone on ALSA's "default" device. Everything happens on the caller's thread: the device is
// opened non-blocking and topped up from a timer, so play() returns at once and a missing device
// costs nothing but a failed open.
class AlsaTone final : public Tone
{
public:
    AlsaTone();
    ~AlsaTone() override;
    AlsaTone(const AlsaTone &) = delete;
    AlsaTone &operator=(const AlsaTone &) = delete;

    void play(int frequencyHz, int durationMs) override;
    void stop() override;

private:
    bool open();
    void feed();
    bool playedOut();
    void close();
    void synthesize(qint64 firstFrame, qint64 frameCount);

    snd_pcm_t *m_pcm = nullptr;
    QTimer m_timer;
    QElapsedTimer m_sinceStart;
    int m_frequencyHz = 0;
    int m_durationMs = 0;
    qint64 m_totalFrames = 0;
    qint64 m_writtenFrames = 0;
    std::vector<qint16> m_chunk;
};

// SPDX-License-Identifier: MIT
#include "platform/alsatone.h"

#include "platform/pulseplayer.h"
#include "platform/tonewave.h"

#include <QElapsedTimer>
#include <algorithm>
#include <alsa/asoundlib.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace {
constexpr unsigned kRate = tonewave::rate;
constexpr qint64 kFramesPerMs = tonewave::framesPerMs;
// Room for more than the lead below; dmix grants only about a third of a second, which still
// holds it.
constexpr unsigned kBufferUs = 1000000;
// Samples are written at most this far ahead of the wall clock, so a worker that is scheduled late
// by less does not interrupt the sound. Some devices pass samples on the moment they get them (the
// file plugin, dmix mixing into the card's buffer) and a drop cannot call those back; a short lead
// is what lets stop() and a new play() cut the tone short there.
constexpr qint64 kLeadMs = 250;
// The sound servers' plugins (PulseAudio's, PipeWire's) keep what the server has not played yet
// where a drop discards it, so there the tone is written as far ahead as the buffer holds at no
// cost to the stop. A busy machine was seen to leave this worker without the processor for 170 ms
// while a freshly started server set up its first stream (its session manager runs at a higher
// priority), which is more than the short lead leaves once the server has taken its share.
constexpr qint64 kServerLeadMs = kBufferUs / 1000;
constexpr auto kFeedInterval = std::chrono::milliseconds(20);
constexpr auto kSetUpInterval = std::chrono::milliseconds(2);
constexpr qint64 kChunkFrames = 100 * kFramesPerMs;
// How long a device may lag behind the wall clock before the tone is closed regardless.
constexpr qint64 kGraceMs = 1000;

// How long the program's exit waits for a hanging device before leaving the worker behind.
constexpr auto kExitWait = std::chrono::milliseconds(500);

void ignoreAlsaError(const char *, int, const char *, int, const char *, ...) {}

// One tone on the device, from its opening to its closing; used by the worker thread alone.
class AlsaPlayer
{
public:
    ~AlsaPlayer() { close(); }

    // Opens the device for a tone; false when there is no device to be had.
    bool start(int frequencyHz, int durationMs);
    // Writes what the wall clock asks for next; false once the tone is over and the device closed.
    bool feed();
    void close();

private:
    bool open();
    bool playedOut();

    snd_pcm_t *m_pcm = nullptr;
    QElapsedTimer m_sinceStart;
    int m_frequencyHz = 0;
    int m_durationMs = 0;
    qint64 m_totalFrames = 0;
    qint64 m_writtenFrames = 0;
    qint64 m_leadMs = kLeadMs;
    std::vector<qint16> m_chunk;
};

bool AlsaPlayer::start(int frequencyHz, int durationMs)
{
    close();
    if (frequencyHz <= 0 || durationMs <= 0 || !open())
        return false;
    m_frequencyHz = frequencyHz;
    m_durationMs = durationMs;
    m_totalFrames = qint64(durationMs) * kFramesPerMs;
    m_writtenFrames = 0;
    m_sinceStart.start();
    return true;
}

bool AlsaPlayer::open()
{
    snd_pcm_t *pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return false;
    snd_pcm_sw_params_t *sw = nullptr;
    bool ready = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                                    kRate, 1, kBufferUs) == 0 &&
                 snd_pcm_sw_params_malloc(&sw) == 0;
    if (ready) {
        snd_pcm_uframes_t boundary = 0;
        // The default start threshold is the whole buffer, which a short tone never fills.
        // Silencing what has been played lets a device that runs past the last sample play zeros
        // rather than samples left over in its ring buffer.
        ready = snd_pcm_sw_params_current(pcm, sw) == 0 &&
                snd_pcm_sw_params_get_boundary(sw, &boundary) == 0 &&
                snd_pcm_sw_params_set_start_threshold(pcm, sw, 1) == 0 &&
                snd_pcm_sw_params_set_silence_threshold(pcm, sw, 0) == 0 &&
                snd_pcm_sw_params_set_silence_size(pcm, sw, boundary) == 0 &&
                snd_pcm_sw_params(pcm, sw) == 0;
    }
    snd_pcm_sw_params_free(sw);
    if (!ready) {
        snd_pcm_close(pcm);
        return false;
    }
    m_pcm = pcm;
    m_leadMs = snd_pcm_type(pcm) == SND_PCM_TYPE_IOPLUG ? kServerLeadMs : kLeadMs;
    return true;
}

bool AlsaPlayer::feed()
{
    if (!m_pcm)
        return false;
    const qint64 due = std::min(m_totalFrames, (m_sinceStart.elapsed() + m_leadMs) * kFramesPerMs);
    bool recovered = false;
    while (m_writtenFrames < due) {
        const qint64 count = std::min(due - m_writtenFrames, kChunkFrames);
        tonewave::synthesize(m_chunk, m_frequencyHz, m_totalFrames, m_writtenFrames, count);
        const snd_pcm_sframes_t written =
            snd_pcm_writei(m_pcm, m_chunk.data(), snd_pcm_uframes_t(count));
        if (written == -EAGAIN)
            break;
        if ((written == -EPIPE || written == -ESTRPIPE) && !recovered) {
            // The device ran dry while the UI thread was busy, or the system slept: carry on
            // from where the tone was rather than lose the rest of it.
            recovered = true;
            if (snd_pcm_prepare(m_pcm) == 0)
                continue;
        }
        if (written < 0) {
            close();
            return false;
        }
        m_writtenFrames += written;
        if (written < count)
            break;
    }
    if (m_writtenFrames == m_totalFrames && playedOut())
        close();
    return m_pcm != nullptr;
}

// Closing ends the sound on a real device and is what finalises the output of plugins such as
// "file", so it waits until the tone has had its full time on the wall clock and the device has
// nothing left queued. Plugins that take samples without pacing report no delay at all, hence the
// wall clock; a device that never seems to empty is closed after a grace period.
bool AlsaPlayer::playedOut()
{
    const qint64 elapsed = m_sinceStart.elapsed();
    if (elapsed < m_durationMs)
        return false;
    if (elapsed >= m_durationMs + kGraceMs || snd_pcm_state(m_pcm) != SND_PCM_STATE_RUNNING)
        return true;
    snd_pcm_sframes_t delay = 0;
    return snd_pcm_delay(m_pcm, &delay) < 0 || delay <= 0;
}

void AlsaPlayer::close()
{
    if (!m_pcm)
        return;
    // Never drain: it blocks for up to seconds even on a non-blocking handle.
    snd_pcm_drop(m_pcm);
    snd_pcm_close(m_pcm);
    m_pcm = nullptr;
}

// Whether ALSA's default device is a sound server's plugin, rather than a card or a file. The
// configuration is read again only when its files have changed.
bool defaultLeadsToServer()
{
    snd_config_t *top = nullptr;
    if (snd_config_update_ref(&top) < 0)
        return false;
    snd_config_t *definition = nullptr;
    bool server = false;
    if (snd_config_search_definition(top, "pcm", "default", &definition) >= 0) {
        snd_config_t *type = nullptr;
        const char *name = nullptr;
        server = snd_config_search(definition, "type", &type) >= 0 &&
                 snd_config_get_string(type, &name) >= 0 &&
                 (std::strcmp(name, "pulse") == 0 || std::strcmp(name, "pipewire") == 0);
        snd_config_delete(definition);
    }
    snd_config_unref(top);
    return server;
}

// The two ways to the speakers: straight to the sound server where ALSA's default device leads
// to one, through ALSA to anything else (a card, dmix, the tests' file capture).
class Players
{
public:
    // Starts a tone, cutting off the one before; false when it cannot sound.
    bool start(int frequencyHz, int durationMs);
    // Keeps the tone going; false once nothing sounds any more.
    bool feed();
    void close()
    {
        m_alsa.close();
        m_server.close();
    }
    bool settingUp() const { return m_onServer && m_server.settingUp(); }

private:
    AlsaPlayer m_alsa;
    PulsePlayer m_server;
    bool m_onServer = false;
    int m_frequencyHz = 0;
    int m_durationMs = 0;
};

bool Players::start(int frequencyHz, int durationMs)
{
    m_alsa.close();
    m_frequencyHz = frequencyHz;
    m_durationMs = durationMs;
    m_onServer = frequencyHz > 0 && (m_server.isOpen() || defaultLeadsToServer()) &&
                 m_server.start(frequencyHz, durationMs);
    if (!m_onServer)
        m_server.close();
    return m_onServer || (frequencyHz > 0 && m_alsa.start(frequencyHz, durationMs));
}

bool Players::feed()
{
    if (!m_onServer)
        return m_alsa.feed();
    if (m_server.feed())
        return true;
    // No server answered where the configuration expects one; ALSA's plugin may yet find one.
    m_onServer = false;
    return m_server.unreachable() && m_alsa.start(m_frequencyHz, m_durationMs);
}

} // namespace

struct AlsaTone::Requests
{
    std::mutex mutex;
    std::condition_variable changed;  // a new request, or the end
    std::condition_variable finished; // the worker has closed the device and returned
    quint64 serial = 0;               // counts the requests, so that the worker sees a new one
    int frequencyHz = 0;              // 0 asks for silence
    int durationMs = 0;
    bool quit = false;
    bool done = false;
};

namespace {

// Plays whatever was asked for last. The lock is never held across an ALSA call, so a request
// is handed over at once however long the device takes; when a call comes back, the worker looks
// at the latest request before anything else, so nothing stale and nothing after a stop follows.
void work(std::shared_ptr<AlsaTone::Requests> requests)
{
    Players player;
    quint64 handled = 0;
    bool playing = false;
    std::unique_lock lock(requests->mutex);
    while (!requests->quit) {
        if (requests->serial != handled) {
            handled = requests->serial;
            const int frequencyHz = requests->frequencyHz;
            const int durationMs = requests->durationMs;
            lock.unlock();
            playing = player.start(frequencyHz, durationMs);
            lock.lock();
        } else if (playing) {
            lock.unlock();
            playing = player.feed();
            lock.lock();
            if (playing && requests->serial == handled && !requests->quit)
                requests->changed.wait_for(lock,
                                           player.settingUp() ? kSetUpInterval : kFeedInterval);
        } else {
            requests->changed.wait(lock);
        }
    }
    lock.unlock();
    player.close();
    lock.lock();
    requests->done = true;
    requests->finished.notify_all();
}

} // namespace

AlsaTone::AlsaTone() : m_requests(std::make_shared<Requests>())
{
    // Machines without a sound device are common (containers, remote desktops) and the alarm then
    // only shows its window; ALSA would report every failed open on stderr.
    snd_lib_error_set_handler(ignoreAlsaError);
    m_worker = std::thread(work, m_requests);
}

AlsaTone::~AlsaTone()
{
    std::unique_lock lock(m_requests->mutex);
    m_requests->quit = true;
    m_requests->changed.notify_all();
    // A hung sound server must not hang the program's exit: the worker is left to the end of
    // the process, and shares the requests so that nothing it touches goes away under it.
    const bool done =
        m_requests->finished.wait_for(lock, kExitWait, [this] { return m_requests->done; });
    lock.unlock();
    if (done)
        m_worker.join();
    else
        m_worker.detach();
}

void AlsaTone::play(int frequencyHz, int durationMs)
{
    request(frequencyHz, durationMs);
}

void AlsaTone::stop()
{
    request(0, 0);
}

void AlsaTone::request(int frequencyHz, int durationMs)
{
    const std::lock_guard lock(m_requests->mutex);
    ++m_requests->serial;
    m_requests->frequencyHz = frequencyHz;
    m_requests->durationMs = durationMs;
    m_requests->changed.notify_all();
}

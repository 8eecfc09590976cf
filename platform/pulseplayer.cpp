// SPDX-License-Identifier: MIT
#include "platform/pulseplayer.h"

#include "platform/tonewave.h"

#include <algorithm>
#include <cstring>
#include <pulse/pulseaudio.h>

namespace {

constexpr pa_sample_spec kSpec{PA_SAMPLE_S16LE, tonewave::rate, 1};
// How much sound PipeWire's front end keeps queued, its own buffers included, and how little it
// asks for at a time. From them it sets the stream node's latency to (106 - 2 * 10) / 2 = 43 ms,
// so that what the graph has pulled, and plays out after a stop, stays short. PipeWire runs its
// whole graph at the shortest latency a node asks for, rounded down to a power of two: asking
// for less than 2048 frames cut a graph running at 2048 down to 512, and an unprivileged
// PipeWire then missed a cycle now and then, a hole in the tone.
constexpr pa_usec_t kLatencyUs = 106000;
constexpr pa_usec_t kRequestUs = 10000;
// PulseAudio is asked for more than any sink's latency, so that the stream leaves the sink's
// alone. A sink nobody asks anything of renders two seconds ahead, and can take back no more
// than its latency: a stream that lowered it waited that long behind silence already rendered,
// and every tone after kept the lag. At its own latency the sink takes all that back when the
// stream starts, and again whenever a tone is written over silence it has taken.
constexpr pa_usec_t kRewindingLatencyUs = 4000000;
// A ringing asks for a tone a second; a stream that has had none for longer is closed.
constexpr qint64 kIdleMs = 2000;
// A server that has not answered for this long is taken to be hung, and a tone is then written
// only as far as it asked: whatever waited in the connection would sound when it answered again,
// even after the stop.
constexpr qint64 kQuietServerMs = 250;
// How far ahead of the wall clock silence is written, and so how late a tone starts after it is
// asked for: more than the worker's turn of 20 ms, with room for its being late.
constexpr qint64 kLeadMs = 60;
// The least silence that goes before the tone that starts the stream.
constexpr qint64 kLeadInFrames = 30 * tonewave::framesPerMs;
// A graph with a long cycle takes a whole cycle at its start, up to 170 ms, and may have taken
// more by the time a tone written after its last word on that arrives.
constexpr qint64 kTakenMarginFrames = 10 * tonewave::framesPerMs;

void unref(pa_operation *operation)
{
    if (operation)
        pa_operation_unref(operation);
}

} // namespace

bool PulsePlayer::start(int frequencyHz, int durationMs)
{
    if (frequencyHz <= 0 || durationMs <= 0) {
        close();
        return false;
    }
    if (!isOpen() && !connect()) {
        m_unreachable = true;
        return false;
    }
    m_frequencyHz = frequencyHz;
    m_durationMs = durationMs;
    m_totalFrames = durationMs * tonewave::framesPerMs;
    m_writtenFrames = 0;
    m_sinceTone.start();
    return true;
}

bool PulsePlayer::connect()
{
    m_unreachable = false;
    m_reached = false;
    m_loop = pa_mainloop_new();
    pa_proplist *properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Ringlo");
    m_context = pa_context_new_with_proplist(pa_mainloop_get_api(m_loop), nullptr, properties);
    pa_proplist_free(properties);
    // Never start a server of its own: the desktop's is the one the user hears.
    if (!m_context || pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        close();
        return false;
    }
    return true;
}

bool PulsePlayer::openStream()
{
    m_stream = pa_stream_new(m_context, "Alarm", &kSpec, nullptr);
    if (!m_stream)
        return false;
    pa_buffer_attr attributes{};
    attributes.maxlength = std::uint32_t(-1);
    attributes.tlength =
        std::uint32_t(pa_usec_to_bytes(m_takesBack ? kRewindingLatencyUs : kLatencyUs, &kSpec));
    // Prebuffering is what made a stream that had run dry wait for most of a second.
    attributes.prebuf = 0;
    attributes.minreq = std::uint32_t(pa_usec_to_bytes(kRequestUs, &kSpec));
    attributes.fragsize = std::uint32_t(-1);
    // Corked until the first tone is written, so that it does not start in an underrun.
    auto flags = pa_stream_flags_t(PA_STREAM_START_CORKED);
    if (!m_takesBack)
        flags = pa_stream_flags_t(flags | PA_STREAM_ADJUST_LATENCY);
    return pa_stream_connect_playback(m_stream, nullptr, &attributes, flags, nullptr, nullptr) == 0;
}

bool PulsePlayer::feed()
{
    if (!isOpen())
        return false;
    // Takes what the server has sent, without waiting for more.
    for (int i = 0; i < 100 && pa_mainloop_iterate(m_loop, 0, nullptr) > 0; ++i) {
    }
    const pa_context_state_t state = pa_context_get_state(m_context);
    if (!PA_CONTEXT_IS_GOOD(state)) {
        m_unreachable = !m_reached;
        close();
        return false;
    }
    if (state == PA_CONTEXT_READY) {
        m_reached = true;
        // Which server it is decides how the stream is asked for.
        if (!m_serverKnown && !m_serverQuestion)
            m_serverQuestion = pa_context_get_server_info(m_context, &PulsePlayer::learn, this);
        if (m_serverKnown && !m_stream && !openStream()) {
            close();
            return false;
        }
        if (m_stream && !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream))) {
            close();
            return false;
        }
        if (m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
            if (!m_running)
                m_sinceAnswer.start();
            checkAnswering();
            write();
            // Sends what was written now rather than at the next turn.
            pa_mainloop_iterate(m_loop, 0, nullptr);
        }
    }
    // A server that hangs while connecting is left alone until the next tone.
    if (idle()) {
        close();
        return false;
    }
    return true;
}

void PulsePlayer::write()
{
    const std::size_t asked = pa_stream_writable_size(m_stream);
    if (asked == std::size_t(-1))
        return;
    const qint64 askedUntil = m_streamFrames + qint64(asked / sizeof(qint16));
    if (!m_running) {
        m_sinceRunning.start();
        // The first tone, too, starts the lead after it was asked for, which the round trips
        // to set the stream up have taken part of; more than that, what the server asks for,
        // is a whole cycle of a graph with a long one, and made it that much later than the
        // rest. Never less than a little: a sink that cannot take back what it has rendered
        // ahead would cut the start of the tone that starts the stream.
        writeSilence(
            std::max(kLeadInFrames, (kLeadMs - m_sinceTone.elapsed()) * tonewave::framesPerMs));
    }
    // Up to the wall clock, and at least as far as the server asks, which a graph with a long
    // cycle does a cycle ahead. A sink that takes nothing for a while (one that had rendered
    // seconds ahead before the stream came, and cannot take that back) thus still gets the
    // silence between the tones, rather than the next tone straight after the one before.
    // Only a server that answers gets more than it asked for.
    const qint64 due =
        answering() ? (m_sinceRunning.elapsed() + kLeadMs) * tonewave::framesPerMs : 0;
    if (m_running && (m_writtenFrames == m_totalFrames || m_writtenFrames == 0))
        writeSilence(std::max(askedUntil, due) - m_streamFrames);
    if (m_writtenFrames < m_totalFrames) {
        // The whole tone at once, so that this thread held up meanwhile cannot cut it short.
        const qint64 left = m_totalFrames - m_writtenFrames;
        const qint64 count = answering() ? left : std::min(left, askedUntil - m_streamFrames);
        if (count > 0) {
            tonewave::synthesize(m_chunk, m_frequencyHz, m_totalFrames, m_writtenFrames, count);
            // A tone goes where the wall clock puts it, over silence a server with a long cycle
            // asked for ahead, so that the tones keep a second apart whatever the cycle's phase;
            // but never over what a server that cannot take it back has taken already, which
            // would cut its start.
            const qint64 at = m_takesBack ? due : std::max(due, m_takenFrames + kTakenMarginFrames);
            const qint64 back = m_writtenFrames == 0 && m_running && due > 0
                                    ? std::max<qint64>(0, m_streamFrames - at)
                                    : 0;
            if (send(count, -back))
                m_writtenFrames += count;
        }
    }
    if (!m_running && m_writtenFrames > 0) {
        unref(pa_stream_cork(m_stream, 0, nullptr, nullptr));
        m_running = true;
    }
}

void PulsePlayer::writeSilence(qint64 frames)
{
    if (frames <= 0)
        return;
    m_chunk.assign(std::size_t(frames), 0);
    send(frames);
}

bool PulsePlayer::send(qint64 frames, qint64 offset)
{
    if (pa_stream_write(m_stream, m_chunk.data(), std::size_t(frames) * sizeof(qint16), nullptr,
                        offset * qint64(sizeof(qint16)), PA_SEEK_RELATIVE) != 0)
        return false;
    m_streamFrames += offset + frames;
    return true;
}

// Asks the server for the stream's timing now and then, for its answer says it is there.
void PulsePlayer::checkAnswering()
{
    if (m_question && pa_operation_get_state(m_question) != PA_OPERATION_RUNNING) {
        const pa_timing_info *timing = pa_stream_get_timing_info(m_stream);
        if (pa_operation_get_state(m_question) == PA_OPERATION_DONE && timing) {
            m_sinceAnswer.start();
            if (!timing->read_index_corrupt)
                m_takenFrames = timing->read_index / qint64(sizeof(qint16));
        }
        unref(m_question);
        m_question = nullptr;
    }
    if (!m_question)
        m_question = pa_stream_update_timing_info(m_stream, nullptr, nullptr);
}

// PulseAudio takes back what it has taken and is written over; PipeWire's front end, which
// names itself after PipeWire, does not.
void PulsePlayer::learn(pa_context *, const pa_server_info *info, void *player)
{
    auto *self = static_cast<PulsePlayer *>(player);
    self->m_takesBack = info && info->server_name && !std::strstr(info->server_name, "PipeWire");
    self->m_serverKnown = true;
}

bool PulsePlayer::answering() const
{
    return m_sinceAnswer.isValid() && m_sinceAnswer.elapsed() < kQuietServerMs;
}

bool PulsePlayer::idle() const
{
    return m_sinceTone.elapsed() > m_durationMs + kIdleMs;
}

void PulsePlayer::close()
{
    // Closing the connection is the quickest way to silence: the server drops the stream and
    // all it held, without a round trip, and a hung server cannot delay it. PipeWire's front end
    // first passes the closing on to PipeWire, which, while it hangs, would go on to pull what
    // the front end still holds once it answers again; a flush empties that at once.
    for (pa_operation **operation : {&m_question, &m_serverQuestion}) {
        if (*operation) {
            pa_operation_cancel(*operation);
            pa_operation_unref(*operation);
            *operation = nullptr;
        }
    }
    if (m_running) {
        unref(pa_stream_flush(m_stream, nullptr, nullptr));
        pa_mainloop_iterate(m_loop, 0, nullptr);
    }
    if (m_stream) {
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    if (m_loop) {
        pa_mainloop_free(m_loop);
        m_loop = nullptr;
    }
    m_running = false;
    m_serverKnown = false;
    m_streamFrames = 0;
    m_takenFrames = 0;
}

// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <vector>

struct pa_context;
struct pa_mainloop;
struct pa_operation;
struct pa_server_info;
struct pa_stream;

// The tone straight to the sound server that ALSA's default device leads to: PulseAudio, or
// PipeWire's PulseAudio front end. ALSA's plugins cannot say when a sound has left the server,
// so a tone closed through them lost what the server still held (a graph cycle, a sink's
// rendered-ahead buffer), and a stream kept open through them waited to prebuffer after each
// silence. Here one stream lasts the whole ringing, never prebuffers, and is fed tone and
// silence placed by the wall clock, so each tone plays out whole and the tones keep a second
// apart. Used by the tone's worker thread alone; no call in it waits for the server.
class PulsePlayer
{
public:
    PulsePlayer() = default;
    ~PulsePlayer() { close(); }
    PulsePlayer(const PulsePlayer &) = delete;
    PulsePlayer &operator=(const PulsePlayer &) = delete;

    // Queues a tone behind what the stream holds, cutting off one still sounding, and connects
    // first when no stream is open; false when the connection cannot even be started.
    bool start(int frequencyHz, int durationMs);
    // Takes the server's answers and writes what it asks for; false once the stream is closed,
    // which it is a while after the last tone, or when the server fails or goes away.
    bool feed();
    // Ends the sound at once: the server drops what the stream held when the connection closes.
    void close();

    bool isOpen() const { return m_context != nullptr; }
    // No server could be reached: the tone is ALSA's default device's to try.
    bool unreachable() const { return m_unreachable; }
    // Setting up takes a few round trips to the server, and the first tone waits for them all.
    bool settingUp() const { return isOpen() && !m_running; }

private:
    bool connect();
    bool openStream();
    void write();
    void writeSilence(qint64 frames);
    bool send(qint64 frames, qint64 offset = 0);
    void checkAnswering();
    static void learn(pa_context *, const pa_server_info *info, void *player);
    bool answering() const;
    bool idle() const;

    pa_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;
    bool m_reached = false;      // the server answered this connection
    bool m_running = false;      // the stream is uncorked and being fed
    bool m_unreachable = false;  // the last connection failed before the server answered
    QElapsedTimer m_sinceTone;   // since the latest tone was asked for
    QElapsedTimer m_sinceAnswer; // since the server last answered a question
    pa_operation *m_question = nullptr;
    pa_operation *m_serverQuestion = nullptr;
    bool m_serverKnown = false;
    bool m_takesBack = false; // the server takes back what it has taken and is written over
    int m_frequencyHz = 0;
    int m_durationMs = 0;
    qint64 m_totalFrames = 0;
    qint64 m_writtenFrames = 0; // of the latest tone
    qint64 m_streamFrames = 0;  // all that was written to the stream
    qint64 m_takenFrames = 0;   // what the server had taken of it when it last said
    QElapsedTimer m_sinceRunning;
    std::vector<qint16> m_chunk;
};

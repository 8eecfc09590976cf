// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>
#include <vector>

// The alarm tone's samples: 16-bit mono, the same whichever way they reach the speakers.
namespace tonewave {

constexpr unsigned rate = 48000;
constexpr qint64 framesPerMs = rate / 1000;

// Fills `chunk` with `count` frames, from `first` on, of a tone `total` frames long.
void synthesize(std::vector<qint16> &chunk, int frequencyHz, qint64 total, qint64 first,
                qint64 count);

} // namespace tonewave

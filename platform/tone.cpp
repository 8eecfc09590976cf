// SPDX-License-Identifier: MIT
#include "platform/tone.h"

#include "platform/alsatone.h"

namespace {
Tone *replacement = nullptr;
} // namespace

Tone &Tone::current()
{
    if (replacement)
        return *replacement;
    // Made on first use rather than at load time: its timer needs the application object.
    static AlsaTone deviceTone;
    return deviceTone;
}

void Tone::replace(Tone *tone)
{
    replacement = tone;
}

// SPDX-License-Identifier: MIT
#include "platform/sessionhold.h"

namespace {
class NoHold final : public SessionHold
{
public:
    void hold(const QString & /*reason*/, quint32 /*window*/) override {}
    void release() override {}
    void wakeScreen() override {}
};
} // namespace

SessionHold &SessionHold::fallback()
{
    static NoHold none;
    return none;
}

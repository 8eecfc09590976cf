// SPDX-License-Identifier: MIT
// Preloaded into xfce4-power-manager on the test's X server, which has no DPMS: the power manager
// reads its display settings only where DPMS is, and crashes without them when an inhibitor goes.
extern "C" int DPMSCapable(void * /*display*/)
{
    return 1;
}

// SPDX-License-Identifier: MIT
#pragma once

// Where the program reaches a platform service: main() installs the desktop's own, a test its
// fake. Until something is installed, current() gives the service's harmless default
// (Service::fallback(): no sound, no notice, no hold), so that a test which installs nothing never
// reaches the real desktop by accident.
template <typename Service> class Seam
{
public:
    static Service &current() { return s_installed ? *s_installed : Service::fallback(); }
    // nullptr puts the default back. The caller keeps ownership, and the service must stay until
    // it is replaced or nothing asks for it any more.
    static void install(Service *service) { s_installed = service; }

private:
    inline static Service *s_installed = nullptr;
};

// Installs a test's fake in place of a port for the life of the guard and puts
// back whatever was installed before.
#pragma once

template <typename Port>
class ScopedPort {
public:
    using Installer = Port* (*)(Port*);
    ScopedPort(Installer install, Port* port) : install_(install), previous_(install(port)) {}
    ~ScopedPort() { install_(previous_); }
    ScopedPort(const ScopedPort&) = delete;
    ScopedPort& operator=(const ScopedPort&) = delete;

private:
    Installer install_;
    Port* previous_;
};

// A port is a small interface a lower layer owns and a higher layer implements;
// these hold the implementation installed at start-up (or a test's fake) and
// fall back to the port's null object until one is installed.
#pragma once

#include <functional>

// One installed implementation of a port, or its null object. A slot is a
// single pointer, so it is ready before any constructor runs and nothing
// tears it down at exit. The null object is made on first use and kept for
// the life of the process, so calls made while statics are destroyed still
// find it.
template <class Port, class Null>
class PortSlot {
public:
    constexpr PortSlot() = default;

    Port& Get() const { return installed_ ? *installed_ : Fallback(); }
    // Whether an implementation is installed (callers that fall back on their
    // own ask this instead of trusting the null object's answer).
    bool Installed() const { return installed_ != nullptr; }
    // The previous implementation (null while the null object answered).
    Port* Install(Port* port) {
        Port* previous = installed_;
        installed_ = port;
        return previous;
    }

private:
    static Port& Fallback() {
        static Null* const null = new Null();
        return *null;
    }
    Port* installed_ = nullptr;
};

// Installs an implementation for a scope and puts back what was installed
// before (tests use it to put a fake in place). `install` is the port's
// Install function.
template <class Port>
class ScopedPort {
public:
    template <class Install>
    ScopedPort(Install install, Port* port) {
        Port* previous = install(port);
        restore_ = [install, previous] { install(previous); };
    }
    ~ScopedPort() { restore_(); }
    ScopedPort(const ScopedPort&) = delete;
    ScopedPort& operator=(const ScopedPort&) = delete;

private:
    std::function<void()> restore_;
};

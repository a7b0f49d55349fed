// The installed implementation of one port, falling back to its null object.
#pragma once

template <typename Port, typename Null>
class PortSlot {
public:
    Port& Get() { return *port_; }
    // nullptr restores the null object; returns the previous port.
    Port* Install(Port* port) {
        Port* previous = port_;
        port_ = port ? port : &null_;
        return previous;
    }

private:
    Null null_;
    Port* port_ = &null_;
};

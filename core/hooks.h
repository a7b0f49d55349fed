// The message reporter and beep that the core calls in the shell and platform.
//
// The core may not depend on later subsystems, so each such call goes through a
// hook that the owning subsystem installs at start-up. An unset hook means the
// owning subsystem is not built yet; callers then skip that step. Every other
// service of a later subsystem reaches the core through a port (core/desktop.h,
// core/memory.h, core/services.h, core/settings.h, core/cmdline.h).
#pragma once

struct CoreHooks {
    // Shows a result code or message through the program's message box (shell).
    // `options` are the control letters of the reporter; `text` is an argument
    // for the message's %s, never a format.
    int (*reportMessage)(const char* options, int code, const char* text) = nullptr;
    // The default message beep (platform); sounded when the Sound preference is on.
    void (*messageBeep)() = nullptr;
};

CoreHooks& Hooks();

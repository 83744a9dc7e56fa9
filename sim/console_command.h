#pragma once

#include <QString>

#include <optional>

namespace sim {

// One line typed on the console (or given with --at / a fault option).
struct ConsoleCommand {
    enum Verb {
        Invalid,
        Empty,
        Help,
        Status,
        Chiller,  // flag: open
        Qbh,      // flag: open
        Estop,    // flag: pressed
        Humidity, // value: %Rh, none = simulated
        Inlet,    // value: degrees, none = simulated
        Outlet,   // value: degrees, none = simulated
        Pd,       // flag: blind
        Leak,     // value: A, none = no leak
        Ble,      // flag: failed
        Mode,     // flag: internal
        Analog,   // value: %
        Gate,     // flag: on
        Chunk,    // value: bytes (0 = off), gapMs
        Garbage,  // flag: on
        Silent,   // flag: on
        NoPause,  // flag: on
        Hangup,   // gapMs: reopen after
        Period,   // value: ms
        Send,     // text
        Set,      // text: a stored setting's name, value
        Calib,
        Clear,
        Quit,
    };
    Verb verb = Invalid;
    bool flag = false;
    std::optional<double> value;
    int gapMs = 0;
    QString text;
    QString error; // for Invalid
};

ConsoleCommand parseConsoleLine(const QString &line);

// The console's command list, as printed by "help" and --help.
QString consoleHelp();

} // namespace sim

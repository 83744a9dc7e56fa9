#include "sim_options.h"

#include "console_command.h"

#include <QCommandLineParser>

namespace sim {
namespace {

const char kDescription[] =
    "Plays a fiber-laser controller on a pseudo-terminal (or a serial port) for Orrindel.\n"
    "The first line of standard output is the path to open (115200 8N1). Status frames go\n"
    "out every period while a client has the line open; commands are applied and answered\n"
    "like the real controller, and logged on standard error.";

const char kExamples[] =
    "Examples:\n"
    "  orrindel-sim --link /tmp/ttyLASER          open /tmp/ttyLASER in Orrindel\n"
    "  orrindel-sim --log cmds.jsonl --period 200 </dev/null\n"
    "  orrindel-sim --chiller-open --humidity 90  start with two alarms\n"
    "  orrindel-sim --chunk 5 --garbage           a noisy line\n"
    "  orrindel-sim --at 5000:\"hangup 2000\"       drop the line after 5 s for 2 s\n"
    "  orrindel-sim --port /dev/ttyUSB1           a real port, null-modem to the PC\n";

bool readInt(const QCommandLineParser &p, const QString &name, int min, int max, int &out,
             QString &error)
{
    if (!p.isSet(name))
        return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < min || v > max) {
        error =
            QStringLiteral("--%1 takes a whole number from %2 to %3").arg(name).arg(min).arg(max);
        return false;
    }
    out = v;
    return true;
}

} // namespace

ParseResult parseOptions(const QStringList &arguments, SimOptions &o, QString &text)
{
    QCommandLineParser p;
    p.setApplicationDescription(QString::fromLatin1(kDescription));
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    p.addOption(help);
    p.addOptions({
        {"period", "Status period in ms (default 500).", "ms"},
        {"link", "Make a symbolic link PATH to the pseudo-terminal; removed at exit.", "path"},
        {"port", "Use the serial port NAME (115200 8N1) instead of a pseudo-terminal.", "name"},
        {"log",
         "Append one JSON line per decoded command to FILE: time, code, name, payload "
         "(hex), args, ok.",
         "file"},
        {"quiet", "Do not print a line per command on standard error."},
        {"no-console", "Ignore standard input."},
        {"seed", "Seed of the simulated noise (default 1).", "n"},
        {"max-power", "Rated power maxPower in W (default 1500).", "w"},
        {"id", "Device number chipShortId (default SN240403).", "text"},
        {"reserved-len", "Length K of the block the program skips, 1 to 1000 (default 6).", "k"},
        {"fw-version", "Firmware version in the DevVer reply (default V2.3.1).", "text"},
        {"no-qcw", "A controller without QCW mode: no \"QCW\" in the version, QCW switch ignored."},
        {"calib-len", "Entries of the calibration table, 1 to 1000 (default 32).", "n"},
        {"power-on-mins", "Power-on minutes at start (default 1260).", "n"},
        {"laser-on-mins", "Emission minutes at start (default 312).", "n"},
        {"mode", "Control mode at start: internal (default) or external.", "mode"},
        {"analog", "DB25 analogue power demand in % (default 50).", "pct"},
        {"set", "Start with a stored setting NAME=VALUE (the console's set); repeatable.",
         "name=value"},
        {"gate", "DB25 emission enable on (external mode emits)."},
        {"chiller-open", "Start with the water-chiller interlock open."},
        {"qbh-open", "Start with the QBH interlock open."},
        {"estop", "Start with the emergency stop pressed."},
        {"humidity", "Force the ambient humidity to PCT %Rh.", "pct"},
        {"inlet-temp", "Force the inlet water temperature to C degrees.", "c"},
        {"outlet-temp", "Force the outlet water temperature to C degrees.", "c"},
        {"pd-blind", "The photodiode sees no light (PD error while emitting)."},
        {"leak", "Drive current of A amperes while not emitting.", "a"},
        {"ble-fail", "The Bluetooth module failed."},
        {"chunk", "Split every frame into pieces of BYTES bytes.", "bytes"},
        {"chunk-gap", "Pause between pieces in ms (default 10).", "ms"},
        {"garbage", "Insert noise and corrupt frames between frames."},
        {"silent", "Send no status frames."},
        {"no-pause", "Stream a filler byte every 25 ms, so the line is never quiet for 75 ms."},
        {"at", "Run the console COMMAND MS ms after start, e.g. 3000:\"estop on\"; repeatable.",
         "ms:command"},
    });
    if (!p.parse(arguments)) {
        text = p.errorText();
        return ParseResult::Error;
    }
    if (p.isSet(help)) {
        text = p.helpText() + QLatin1Char('\n') + consoleHelp() + QLatin1Char('\n') +
               QString::fromLatin1(kExamples);
        return ParseResult::Help;
    }
    if (!p.positionalArguments().isEmpty()) {
        text = QStringLiteral("unexpected argument %1").arg(p.positionalArguments().first());
        return ParseResult::Error;
    }

    int seed = static_cast<int>(o.seed);
    if (!readInt(p, "period", 10, 60000, o.periodMs, text) ||
        !readInt(p, "seed", 0, 0x7FFFFFFF, seed, text) ||
        !readInt(p, "max-power", 1, 65535, o.identity.maxPower, text) ||
        !readInt(p, "reserved-len", 1, 1000, o.identity.reservedLength, text) ||
        !readInt(p, "calib-len", 1, 1000, o.identity.calibLength, text) ||
        !readInt(p, "power-on-mins", 0, 100000000, o.identity.powerOnMinutes, text) ||
        !readInt(p, "laser-on-mins", 0, 100000000, o.identity.laserOnMinutes, text))
        return ParseResult::Error;
    o.seed = static_cast<quint32>(seed);
    if (p.isSet("id")) {
        o.identity.chipShortId = p.value("id").toUtf8();
        if (o.identity.chipShortId.size() > 1000) {
            text = QStringLiteral("--id is too long");
            return ParseResult::Error;
        }
    }
    if (p.isSet("fw-version"))
        o.identity.firmware = p.value("fw-version");
    o.identity.qcwCapable = !p.isSet("no-qcw");
    o.linkPath = p.value("link");
    o.portName = p.value("port");
    o.logPath = p.value("log");
    o.quiet = p.isSet("quiet");
    o.console = !p.isSet("no-console");
    if (!o.portName.isEmpty() && !o.linkPath.isEmpty()) {
        text = QStringLiteral("--link applies to the pseudo-terminal, not to --port");
        return ParseResult::Error;
    }

    // Fault and input options become console lines, checked like typed ones.
    if (p.isSet("mode"))
        o.startup << QStringLiteral("mode ") + p.value("mode");
    const QPair<const char *, const char *> valued[] = {{"analog", "analog"},
                                                        {"humidity", "humidity"},
                                                        {"inlet-temp", "inlet"},
                                                        {"outlet-temp", "outlet"},
                                                        {"leak", "leak"}};
    for (const auto &v : valued)
        if (p.isSet(v.first))
            o.startup << QString::fromLatin1(v.second) + QLatin1Char(' ') + p.value(v.first);
    const QPair<const char *, const char *> flags[] = {
        {"gate", "gate on"},       {"chiller-open", "chiller open"}, {"qbh-open", "qbh open"},
        {"estop", "estop on"},     {"pd-blind", "pd blind"},         {"ble-fail", "ble fail"},
        {"garbage", "garbage on"}, {"silent", "silent on"},          {"no-pause", "nopause on"}};
    for (const auto &f : flags)
        if (p.isSet(f.first))
            o.startup << QString::fromLatin1(f.second);
    for (const QString &setting : p.values("set"))
        o.startup << QStringLiteral("set ") +
                         QString(setting).replace(QLatin1Char('='), QLatin1Char(' '));
    if (p.isSet("chunk"))
        o.startup << QStringLiteral("chunk %1 %2")
                         .arg(p.value("chunk"), p.isSet("chunk-gap") ? p.value("chunk-gap") : "10");
    for (const QString &line : o.startup) {
        const ConsoleCommand c = parseConsoleLine(line);
        if (c.verb == ConsoleCommand::Invalid) {
            text = QStringLiteral("option gives \"%1\": %2").arg(line, c.error);
            return ParseResult::Error;
        }
    }
    for (const QString &at : p.values("at")) {
        const int colon = at.indexOf(QLatin1Char(':'));
        bool ok = false;
        const int ms = at.left(colon).toInt(&ok);
        const QString line = at.mid(colon + 1);
        const ConsoleCommand c = parseConsoleLine(line);
        if (colon < 0 || !ok || ms < 0 || c.verb == ConsoleCommand::Invalid ||
            c.verb == ConsoleCommand::Empty) {
            text =
                QStringLiteral("--at %1: expected MS:COMMAND with a console command%2")
                    .arg(at, c.error.isEmpty() ? QString() : QStringLiteral(" (") + c.error + ")");
            return ParseResult::Error;
        }
        o.scheduled.append({ms, line});
    }
    return ParseResult::Run;
}

} // namespace sim

#include "console_command.h"

#include "device_settings.h"

#include <QStringList>

namespace sim {
namespace {

using Verb = ConsoleCommand::Verb;

struct Switch {
    const char *verb;
    Verb id;
    const char *on;
    const char *off;
};

// Verbs that take one of two words.
constexpr Switch kSwitches[] = {
    {"chiller", Verb::Chiller, "open", "close"},
    {"qbh", Verb::Qbh, "open", "close"},
    {"estop", Verb::Estop, "on", "off"},
    {"pd", Verb::Pd, "blind", "ok"},
    {"ble", Verb::Ble, "fail", "ok"},
    {"mode", Verb::Mode, "internal", "external"},
    {"gate", Verb::Gate, "on", "off"},
    {"garbage", Verb::Garbage, "on", "off"},
    {"silent", Verb::Silent, "on", "off"},
    {"nopause", Verb::NoPause, "on", "off"},
};

// Verbs that take a number or a word meaning "back to normal".
struct Level {
    const char *verb;
    Verb id;
    const char *reset;
    double min;
    double max;
};

constexpr Level kLevels[] = {
    {"humidity", Verb::Humidity, "auto", -50, 150}, {"inlet", Verb::Inlet, "auto", -30, 150},
    {"outlet", Verb::Outlet, "auto", -30, 150},     {"leak", Verb::Leak, "off", 0, 65},
    {"analog", Verb::Analog, nullptr, 0, 100},      {"period", Verb::Period, nullptr, 10, 60000},
};

ConsoleCommand invalid(const QString &why)
{
    ConsoleCommand c;
    c.error = why;
    return c;
}

bool toInt(const QString &s, int min, int max, int &out)
{
    bool ok = false;
    out = s.toInt(&ok);
    return ok && out >= min && out <= max;
}

} // namespace

ConsoleCommand parseConsoleLine(const QString &line)
{
    const QString trimmed = line.trimmed();
    const QStringList words = trimmed.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ConsoleCommand c;
    if (words.isEmpty()) {
        c.verb = Verb::Empty;
        return c;
    }
    const QString verb = words[0].toLower();
    const QStringList args = words.mid(1);

    for (const Switch &s : kSwitches) {
        if (verb != QLatin1String(s.verb))
            continue;
        const QString usage = QStringLiteral("usage: %1 %2|%3").arg(s.verb, s.on, s.off);
        if (args.size() != 1)
            return invalid(usage);
        const QString a = args[0].toLower();
        if (a != QLatin1String(s.on) && a != QLatin1String(s.off))
            return invalid(usage);
        c.verb = s.id;
        c.flag = a == QLatin1String(s.on);
        return c;
    }
    for (const Level &l : kLevels) {
        if (verb != QLatin1String(l.verb))
            continue;
        const QString usage =
            l.reset
                ? QStringLiteral("usage: %1 NUMBER|%2 (%3 to %4)")
                      .arg(l.verb, l.reset)
                      .arg(l.min)
                      .arg(l.max)
                : QStringLiteral("usage: %1 NUMBER (%2 to %3)").arg(l.verb).arg(l.min).arg(l.max);
        if (args.size() != 1)
            return invalid(usage);
        c.verb = l.id;
        if (l.reset && args[0].toLower() == QLatin1String(l.reset))
            return c;
        bool ok = false;
        const double v = args[0].toDouble(&ok);
        if (!ok || v < l.min || v > l.max)
            return invalid(usage);
        c.value = v;
        return c;
    }
    if (verb == QLatin1String("chunk")) {
        const QString usage = QStringLiteral("usage: chunk BYTES [GAP_MS]|off");
        c.verb = Verb::Chunk;
        c.gapMs = 10;
        if (args.size() == 1 && args[0].toLower() == QLatin1String("off")) {
            c.value = 0;
            return c;
        }
        int bytes = 0;
        if (args.isEmpty() || args.size() > 2 || !toInt(args[0], 1, 65535, bytes))
            return invalid(usage);
        if (args.size() == 2 && !toInt(args[1], 0, 10000, c.gapMs))
            return invalid(usage);
        c.value = bytes;
        return c;
    }
    if (verb == QLatin1String("hangup")) {
        c.verb = Verb::Hangup;
        c.gapMs = 1000;
        if (args.size() > 1 || (args.size() == 1 && !toInt(args[0], 0, 3600000, c.gapMs)))
            return invalid(QStringLiteral("usage: hangup [REOPEN_MS]"));
        return c;
    }
    if (verb == QLatin1String("set")) {
        const QString usage =
            QStringLiteral("usage: set NAME VALUE, NAME one of: %1").arg(storedSettingNames());
        int value = 0;
        const StoredSetting *setting = args.size() == 2 ? findStoredSetting(args[0]) : nullptr;
        if (!setting || !toInt(args[1], 0, setting->max, value))
            return invalid(usage);
        c.verb = Verb::Set;
        c.text = args[0];
        c.value = value;
        return c;
    }
    if (verb == QLatin1String("send")) {
        if (args.isEmpty())
            return invalid(QStringLiteral("usage: send TEXT"));
        c.verb = Verb::Send;
        c.text = trimmed.mid(trimmed.indexOf(QLatin1Char(' ')) + 1).trimmed();
        return c;
    }
    const struct {
        const char *word;
        Verb id;
    } plain[] = {{"help", Verb::Help},   {"?", Verb::Help},      {"status", Verb::Status},
                 {"calib", Verb::Calib}, {"clear", Verb::Clear}, {"quit", Verb::Quit},
                 {"exit", Verb::Quit}};
    for (const auto &p : plain) {
        if (verb != QLatin1String(p.word))
            continue;
        if (!args.isEmpty())
            return invalid(QStringLiteral("usage: %1").arg(p.word));
        c.verb = p.id;
        return c;
    }
    return invalid(QStringLiteral("unknown command \"%1\"; type help").arg(verb));
}

QString consoleHelp()
{
    return QStringLiteral(
        "Console commands (one per line on standard input):\n"
        "  help                   this list\n"
        "  status                 print the present state of the controller and the line\n"
        "Device faults:\n"
        "  chiller open|close     water-chiller interlock (open: alarm 0x8020, stops emission)\n"
        "  qbh open|close         QBH interlock (open: alarm 0x8010, stops emission)\n"
        "  estop on|off           emergency-stop button (on: alarm 0xC000, stops emission)\n"
        "  humidity PCT|auto      force the ambient humidity in %Rh (above humiHigh: 0x0001)\n"
        "  inlet C|auto           force the inlet water temperature in degrees C\n"
        "  outlet C|auto          force the outlet water temperature in degrees C\n"
        "  pd blind|ok            photodiode sees no light: PD error and \"PD ERROR LOCK(n)\"\n"
        "                         while emitting (alarm 0x9000)\n"
        "  leak A|off             drive current of A amperes while not emitting (above the\n"
        "                         drive-current threshold: alarm 0xA000)\n"
        "  ble fail|ok            Bluetooth module failed (alarm 0x0002)\n"
        "  clear                  undo every device and line fault\n"
        "Inputs:\n"
        "  mode internal|external control mode, as the front panel would set it\n"
        "  analog PCT             DB25 analogue power demand, % of maxPower (external mode)\n"
        "  gate on|off            DB25 emission enable (external mode)\n"
        "  set NAME VALUE         store an alarm threshold or QCW value as a service tool\n"
        "                         would, also one the set command cannot send (NAME as in\n"
        "                         the status record, e.g. inletWaterTempLow)\n"
        "Line faults:\n"
        "  chunk BYTES [GAP]|off  split frames into BYTES-byte pieces GAP ms apart (default 10)\n"
        "  garbage on|off         noise, bad-CRC, bad-trailer and type>4 frames between frames\n"
        "  silent on|off          stop sending status frames (replies still go out)\n"
        "  nopause on|off         stream a filler byte every 25 ms: the line is never quiet\n"
        "                         for 75 ms\n"
        "  hangup [MS]            close the line; offer it again after MS ms (default 1000;\n"
        "                         a pseudo-terminal may get a new path, --link follows it)\n"
        "Other:\n"
        "  period MS              status period in ms\n"
        "  send TEXT              send TEXT as a message frame\n"
        "  calib                  send the calibration table now\n"
        "  quit                   exit\n");
}

} // namespace sim

#pragma once

// The recording's oracle: the QML engine itself. Number and time texts are
// what JavaScript makes of them, and the export is built the way a chart
// would build it from a plain list of entry objects, each time written at its
// push. Also the sources of awkward doubles and of time-zone settings.

#include <QDateTime>
#include <QJSValue>
#include <QLocale>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QRandomGenerator>
#include <QTimeZone>
#include <QVariant>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <limits>
#include <memory>

namespace wavetest {

inline const char *const kOracleDocument = R"(
import QtQml 2.15
QtObject {
    function numberTexts(values) {
        var out = []
        for (var i = 0; i < values.length; ++i)
            out.push(String(values[i]))
        return out
    }
    function timeText(date) {
        return date.toLocaleTimeString(Qt.locale(), Locale.LongFormat) + "." + date.getMilliseconds()
    }
    // The local time as QML's Date hands it to Qt (as toLocaleTimeString
    // does for the time of day), so both columns agree in every zone.
    function isoTimeTexts(times) {
        var out = []
        for (var i = 0; i < times.length; ++i)
            out.push(Qt.formatDateTime(new Date(times[i]), "yyyy-MM-dd'T'hh:mm:ss.zzz"))
        return out
    }
    function timeTexts(times) {
        var out = []
        for (var i = 0; i < times.length; ++i)
            out.push(timeText(new Date(times[i])))
        return out
    }
    function exportText(cap, header, names, times, rows) {
        var waves = []
        for (var i = 0; i < times.length; ++i) {
            var entry = {"time": timeText(new Date(times[i])), "vals": []}
            for (var c = 0; c < names.length; ++c)
                entry.vals.push(rows[i][c])
            waves.push(entry)
            while (waves.length > cap)
                waves.shift()
        }
        var text = header
        for (c = 0; c < names.length; ++c)
            text += "," + names[c]
        for (i = 0; i < waves.length; ++i) {
            text += "\n" + waves[i].time
            for (c = 0; c < names.length; ++c)
                text += "," + waves[i].vals[c]
        }
        return text
    }
}
)";

class JsOracle {
public:
    JsOracle()
    {
        QQmlComponent component(&engine);
        component.setData(kOracleDocument,
                          QUrl::fromLocalFile(QStringLiteral("/oracle/WaveOracle.qml")));
        object.reset(component.create());
        if (!object)
            qFatal("oracle: %s", qPrintable(component.errorString()));
    }

    QStringList numberTexts(const QVector<double> &values) const
    {
        return call("numberTexts", {toList(values)}).toStringList();
    }
    QStringList timeTexts(const QVector<double> &times) const
    {
        return call("timeTexts", {toList(times)}).toStringList();
    }
    // The local date and time, ISO 8601 with milliseconds.
    QStringList isoTimeTexts(const QVector<double> &times) const
    {
        return call("isoTimeTexts", {toList(times)}).toStringList();
    }
    QString exportText(int cap, const QString &header, const QStringList &names,
                       const QVector<double> &times, const QVector<QVector<double>> &rows) const
    {
        QVariantList rowList;
        for (const QVector<double> &row : rows)
            rowList.append(QVariant(toList(row)));
        return call("exportText", {cap, header, names, toList(times), rowList}).toString();
    }

private:
    static QVariantList toList(const QVector<double> &values)
    {
        QVariantList list;
        list.reserve(values.size());
        for (double v : values)
            list.append(v);
        return list;
    }

    // An initializer list, not a QVariantList: {list} must stay one argument.
    QVariant call(const char *function, std::initializer_list<QVariant> args) const
    {
        QVariant result;
        QGenericArgument a[5];
        int i = 0;
        for (const QVariant &arg : args)
            a[i++] = Q_ARG(QVariant, arg);
        QMetaObject::invokeMethod(object.get(), function, Q_RETURN_ARG(QVariant, result), a[0],
                                  a[1], a[2], a[3], a[4]);
        if (result.userType() == qMetaTypeId<QJSValue>())
            return result.value<QJSValue>().toVariant();
        return result;
    }

    QQmlEngine engine;
    std::unique_ptr<QObject> object;
};

// Sets TZ and the default locale for one scope.
class ScopedZoneAndLocale {
public:
    ScopedZoneAndLocale(const QByteArray &zone, const QLocale &locale)
        : previousZone(qgetenv("TZ"))
        , hadZone(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
        QLocale::setDefault(locale);
    }
    ~ScopedZoneAndLocale()
    {
        if (hadZone)
            qputenv("TZ", previousZone);
        else
            qunsetenv("TZ");
        tzset();
        QLocale::setDefault(previousLocale);
    }

private:
    QByteArray previousZone;
    bool hadZone;
    QLocale previousLocale;
};

// Doubles that stress the shortest-digits rules: raw bit patterns (every
// magnitude, subnormals), integers beyond 2^53, short decimals at every scale,
// sums of one-decimal numbers, neighbours of powers of ten.
inline double awkwardDouble(QRandomGenerator &rng)
{
    switch (rng.bounded(6)) {
    case 0: {
        const quint64 bits = rng.generate64();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    case 1:
        return double(qint64(rng.generate64()) >> rng.bounded(64));
    case 2:
        return double(rng.bounded(2000000) - 1000000) * std::pow(10.0, rng.bounded(61) - 30);
    case 3:
        return (rng.bounded(2001) - 1000) / 10.0 + (rng.bounded(2001) - 1000) / 10.0;
    case 4: {
        const double p = std::pow(10.0, rng.bounded(60) - 30);
        const int steps = rng.bounded(5) - 2;
        return steps < 0 ? std::nextafter(p, 0.0) : steps > 0 ? std::nextafter(p, 1e300) : p;
    }
    default:
        return rng.bounded(100000) / 1000.0;
    }
}

// Fixed by default so that a failure can be replayed; ORRINDEL_TEST_SEED
// explores other sequences.
inline quint32 testSeed(quint32 fallback)
{
    const char *env = std::getenv("ORRINDEL_TEST_SEED");
    return env ? static_cast<quint32>(std::strtoul(env, nullptr, 0)) : fallback;
}

// Instants (ms) at which the zone's offset changes between from and to.
inline QVector<double> transitions(const QByteArray &zone, const QDateTime &from,
                                   const QDateTime &to)
{
    QVector<double> out;
    const QTimeZone tz(zone);
    for (const QTimeZone::OffsetData &t : tz.transitions(from, to))
        out.append(double(t.atUtc.toMSecsSinceEpoch()));
    return out;
}

} // namespace wavetest

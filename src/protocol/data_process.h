#pragma once

#include "status_record.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QVariantList>

// Builds the command frames the controller understands and turns decoded
// status records into the JSON object the user interface reads. Stateless.
class DataProcess : public QObject {
    Q_OBJECT
public:
    static DataProcess *getInstance();

    Q_INVOKABLE QByteArray setCtrlMod(bool intCtrl);
    Q_INVOKABLE QByteArray setLaserState(bool state);
    Q_INVOKABLE QByteArray setIntCtrlParam(quint8 power, quint8 duty, quint16 freq, quint16 openMs);
    Q_INVOKABLE QByteArray setAdvancedParam(quint8 qcwDuty, quint16 qcwFreq, bool qcwEnable,
                                            quint8 redLevel, quint16 pdThes, quint8 humiThes,
                                            quint16 pumpThes, quint8 inTempLow, quint8 inTempHigh,
                                            quint8 outTempLow, quint8 outTempHigh);
    Q_INVOKABLE QByteArray queryVersion();
    Q_INVOKABLE QByteArray setCalib(QVariantList list);
    Q_INVOKABLE QByteArray queryCalibTable();
    Q_INVOKABLE QByteArray queryUseTime();
    Q_INVOKABLE QByteArray resetParam();

    // The 35-key device status object.
    QJsonObject devInfoToJson(const DevInfoRecord &record) const;

    DataProcess() = default;
};

#pragma once

#include <QObject>
#include <QString>

// Writes exported text (the chart recordings) to a local file.
class File : public QObject {
    Q_OBJECT
public:
    static File *getInstance();

    File() = default;

    // Replaces the file's content with the text in the local 8-bit encoding;
    // true when every byte was written.
    Q_INVOKABLE bool saveWave(QString path, QString waveStr);
};

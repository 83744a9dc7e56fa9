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

    // The local file name a file dialog's URL stands for ("file:///home/op/my%20wave.csv"
    // gives "/home/op/my wave.csv", "file:///C:/data/wave.csv" gives "C:/data/wave.csv",
    // "file://server/share/a.csv" gives "//server/share/a.csv"). Anything not
    // beginning with "file:" is taken for a local name already and passes unchanged.
    Q_INVOKABLE QString urlToLocalPath(QString url);
};

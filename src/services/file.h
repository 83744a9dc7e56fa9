#pragma once

#include <QObject>
#include <QString>

class QSaveFile;

// Writes exported text (the chart recordings) to a local file.
class File : public QObject {
    Q_OBJECT
public:
    static File *getInstance();

    File() = default;

    // Replaces the file's content with the text in the local 8-bit encoding;
    // true when every byte was written.
    Q_INVOKABLE bool saveWave(QString path, QString waveStr);

    // saveWave's checked replacement, for a file written a piece at a time
    // (on any thread): opens file, a QSaveFile named for the file to replace;
    // false for an empty name or a file that cannot be written.
    static bool openForReplacement(QSaveFile &file);
    // Puts the written file in place: true only when every byte went out.
    // Otherwise, or when never called, the old file stays as it was.
    static bool commitReplacement(QSaveFile &file);

    // The local file name a file dialog's URL stands for ("file:///home/op/my%20wave.csv"
    // gives "/home/op/my wave.csv", "file:///C:/data/wave.csv" gives "C:/data/wave.csv",
    // "file://server/share/a.csv" gives "//server/share/a.csv"). Anything not
    // beginning with "file:" is taken for a local name already and passes unchanged.
    Q_INVOKABLE QString urlToLocalPath(QString url);
};

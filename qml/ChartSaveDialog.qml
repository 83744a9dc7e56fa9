import QtQuick 2.15
import Qt.labs.platform 1.1 as Platform
import CppSingletonClass 1.0
import OrrindelRecording 1.0

// The dialog that saves a chart's recording, and the export it writes: the
// header in the current language and the curve names, then one line per
// recorded push. The chart's texts are catalogued under NormalChart, where
// they were written first.
Platform.FileDialog {
    id: root

    property WaveRecording recording: null
    // The curves, in order; their names head the columns.
    property var curves: []
    // The page's message box; a failed export is reported through it.
    property var msgBox: null

    // withDate: the first column holds the local date and time (ISO 8601)
    // instead of the time of day.
    function waveText(withDate) {
        var names = []
        for (var i = 0; i < root.curves.length; ++i)
            names.push(root.curves[i].name)
        return root.recording.exportText(qsTranslate("NormalChart", "时间戳"), names, !!withDate)
    }

    // Proposes "wave" in the folder last used (set here, not bound: a binding
    // would put it back whenever the user changes folders in the dialog).
    function openProposingWave() {
        root.open()
        // Once open: some dialogs drop a selection made before they show.
        root.currentFile = root.folder + "/wave"
    }

    // Writes the export to the file a save dialog answered with (a URL or a
    // local name). The recording makes and writes it on a worker thread, one
    // export after the other, and the window goes on meanwhile; its
    // exportFinished tells how it went, and a failure is shown through msgBox.
    function saveWaveTo(fileUrl, withDate) {
        var names = []
        for (var i = 0; i < root.curves.length; ++i)
            names.push(root.curves[i].name)
        root.recording.exportTo(File.urlToLocalPath(String(fileUrl)),
                                qsTranslate("NormalChart", "时间戳"), names, !!withDate)
    }

    Connections {
        target: root.recording

        function onExportFinished(ok, path) {
            if (!ok && root.msgBox)
                root.msgBox.showMsg(qsTranslate("NormalChart", "保存失败: ") + path, "error")
        }
    }

    title: qsTranslate("NormalChart", "保存波形文件")
    fileMode: Platform.FileDialog.SaveFile
    folder: Platform.StandardPaths.writableLocation(Platform.StandardPaths.DocumentsLocation)
    defaultSuffix: "csv"
    // The first keeps the format that files and tools already rely on.
    nameFilters: [qsTranslate("NormalChart", "波形文件") + " (*.csv)",
        qsTranslate("NormalChart", "带日期的CSV (ISO 8601)") + " (*.csv)"]
    // Set here so that it exists when the dialog opens: only then does
    // it follow the file type the operator chooses in the dialog.
    selectedNameFilter.index: 0
    onAccepted: root.saveWaveTo(file, selectedNameFilter.index === 1)
}

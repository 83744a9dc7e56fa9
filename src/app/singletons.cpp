#include "singletons.h"

#include "image_blur.h"

#include "link/communication.h"
#include "protocol/data_process.h"
#include "services/chart_axes.h"
#include "services/chart_look_back.h"
#include "services/file.h"
#include "services/language.h"
#include "services/message_log.h"
#include "services/plant_feed.h"
#include "services/qml_public.h"
#include "services/session_journal.h"
#include "services/wave_recording.h"

#include <QMetaType>
#include <QQmlEngine>
#include <QtCharts/QLineSeries>

namespace {

// The engine calls this once, at the type's first use. The service belongs to
// its process-wide owner: the engine must never delete it.
template<typename T> QObject *provideService(QQmlEngine *, QJSEngine *)
{
    T *service = T::getInstance();
    QQmlEngine::setObjectOwnership(service, QQmlEngine::CppOwnership);
    return service;
}

template<typename T> void registerService(const char *qmlName)
{
    qmlRegisterSingletonType<T>(kSingletonUri, 1, 0, qmlName, &provideService<T>);
}

} // namespace

void registerSingletons()
{
    qRegisterMetaType<QtCharts::QLineSeries *>();

    registerService<Language>("Language");
    registerService<Communication>("Communication");
    registerService<DataProcess>("DataProcess");
    registerService<File>("File");
    registerService<QmlPublic>("QmlPublic");
    registerService<PlantFeed>("PlantFeed");

    registerUiTypes();
}

void registerUiTypes()
{
    qmlRegisterType<WaveRecording>(kRecordingUri, 1, 0, "WaveRecording");
    // Stateless: one per engine, owned by it.
    qmlRegisterSingletonType<ChartAxes>(
        kRecordingUri, 1, 0, "ChartAxes",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new ChartAxes; });
    qmlRegisterSingletonType<ChartLookBack>(
        kRecordingUri, 1, 0, "ChartLookBack",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new ChartLookBack; });

    qmlRegisterSingletonType<SessionJournal>(kJournalUri, 1, 0, "SessionJournal",
                                             &provideService<SessionJournal>);
    qmlRegisterType<MessageLog>(kJournalUri, 1, 0, "MessageLog");

    qmlRegisterType<BlurredSnapshot>(kImagesUri, 1, 0, "BlurredSnapshot");
}

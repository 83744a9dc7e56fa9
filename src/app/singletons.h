#pragma once

// The import under which QML reaches the native services.
inline constexpr const char *kSingletonUri = "CppSingletonClass";

// The import of the native types that documents create themselves.
inline constexpr const char *kRecordingUri = "OrrindelRecording";

// The import of the session journal and the journalled message list.
inline constexpr const char *kJournalUri = "OrrindelJournal";

// The import of the processor-drawn images (BlurredSnapshot).
inline constexpr const char *kImagesUri = "OrrindelImages";

// Registers Language, Communication, DataProcess, File and QmlPublic (in this
// order) as QML singletons of CppSingletonClass 1.0, and the chart series
// pointer type that QmlPublic takes; then registerUiTypes(). Once per process.
void registerSingletons();

// Registers the chart's native helpers under OrrindelRecording 1.0: the
// instantiable type WaveRecording (the recording) and the singleton ChartAxes;
// and under OrrindelJournal 1.0 the singleton SessionJournal and the
// instantiable type MessageLog; under OrrindelImages 1.0 the instantiable
// type BlurredSnapshot. Called by registerSingletons().
void registerUiTypes();

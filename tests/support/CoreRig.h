#pragma once
// A real CounterCore over real files in a temporary folder: the facade with a
// converter whose voltages the test sets, the exchange and flag files, the
// recording, the settings store, a view that keeps what the window would show,
// and a clock and time of day the test sets.
#include "adc/AdcFacade.h"
#include "adc/ExchangeFile.h"
#include "counting/CounterCore.h"
#include "counting/TriggerFile.h"
#include "platform/ProfileFile.h"
#include "platform/RegistryArea.h"
#include "platform/SettingsStore.h"
#include "recording/XtRecorderModel.h"
#include "support/FakeBackend.h"
#include "support/ManualClock.h"
#include "support/RecordingCoreView.h"
#include "support/ScriptedPrompts.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class CoreRig {
public:
    explicit CoreRig(const QLocale& locale = QLocale::c()) {
        backend = devices.offer();
        QString name = QStringLiteral("BMC Messsysteme: USB-AD:0");
        EXPECT_TRUE(adc.ADC_open(name));
        adc.setReady(true);
        core = makeCore(locale);
        // Whatever shows a count must find it in the settings file already.
        view.onCount = [this](const QString& shown) {
            shownBeforeSaved += shown != saved("Cyclomarkator", "Value");
        };
    }
    std::unique_ptr<CounterCore> makeCore(const QLocale& locale) {
        return std::make_unique<CounterCore>(
            state,
            CounterCore::Parts{adc, exchange, trigger, recorder, settings, clock, view, nullptr},
            [this] { return timeOfDay; }, locale);
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    // A key of the settings file as it is on disk now.
    QString saved(const char* section, const char* key) const {
        ProfileFile file(settings.path());
        file.load();
        return file.readString(QLatin1String(section), QLatin1String(key), {});
    }
    // One counted maximum per call (mode maxima, threshold 0): up to `high`, down to `low`.
    void countMaximum(float high = 1.0f, float low = -1.0f) {
        for (const float voltage : {high, low}) {
            backend->voltages.assign(backend->voltages.size(), voltage);
            clock.advance(40);
            core->Timer_Cyclomarkator_Timer();
        }
    }

    QTemporaryDir dir;
    ManualClock clock{1000};
    QTime timeOfDay{14, 3, 27};
    RegistryArea registry{path("registry.ini")};
    ScriptedPrompts prompts;
    FakeDevices devices;
    AdcFacade adc{clock, registry, prompts, dir.path(), devices};
    RecordingCoreView view;
    ExchangeFile exchange{dir.path(), view, clock};
    TriggerFile trigger{dir.path(), view, clock};
    XtRecorderModel recorder{clock, path("Data.dat"), view};
    SettingsStore settings{path("Cyclomarkator.INI"), view};
    CountingState state;
    FakeBackend* backend = nullptr;
    std::unique_ptr<CounterCore> core;
    int shownBeforeSaved = 0; // counts shown before they were saved
};

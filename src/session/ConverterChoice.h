#pragma once
// Choosing the rig's A/D converter without a window (--list-converters,
// --converter NAME [--device ADDRESS]): the names the A/D setup dialog lists,
// and the choice checked as its "&Accept" checks it (a name it lists; a
// converter at an address only where it answers) and then written to the
// rig's settings file, so that a headless rig or a service is set up without
// editing the file by hand.
#include <QString>
#include <optional>

class AdcFacade;
class SettingsStore;

namespace ConverterChoice {

// One name a line, as the setup dialog lists them; a converter at an address
// says what --device takes.
QString list();

struct Result {
    bool written = false;
    QString text; // what was written and where, or why nothing was
};

// Checks `name` (matched regardless of case) and, for a converter at an
// address, `device` (else the address the settings hold), then writes them
// into `settings`, which must be loaded. `adc` looks at the device once.
Result choose(AdcFacade& adc, SettingsStore& settings, const QString& name,
              const std::optional<QString>& device);

} // namespace ConverterChoice

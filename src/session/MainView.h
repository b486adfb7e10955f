#pragma once
// What the counting session needs from the main window beyond the counting
// labels: the status line, the channel list, the test-mode look, and what the
// link shows. Implemented by the window and by the headless mode, which prints
// instead of showing.
#include "counting/CoreView.h"
#include "session/LinkView.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// Colours as 0xRRGGBB.
namespace StatusColour {
constexpr uint32_t Green = 0x00FF00;
constexpr uint32_t Red = 0xFF0000;
constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t Black = 0x000000;
} // namespace StatusColour

class MainView : public CoreView, public LinkView {
public:
    // The status line; a colour that is not given stays as it is.
    virtual void setStatus(const QString& text, std::optional<uint32_t> back = std::nullopt,
                           std::optional<uint32_t> fore = std::nullopt) = 0;
    // The channel list; `selected` is -1 when no entry is chosen.
    virtual void setChannelList(const QStringList& names, int selected) = 0;
    // Test mode draws the count in white instead of red.
    virtual void setTestMode(bool on) = 0;
};

#pragma once
// The captions of the main window's controls as a link client requests them,
// in the window and headless alike: it stands between the session and its
// view, keeps the text of every call that sets a caption, and hands every call
// on unchanged. So the link's items are the very values the labels show.
// Control names are matched regardless of case, as DDE item names were.
#include "session/MainView.h"
#include "session/RunFollower.h"

#include <QHash>

class CoreWatch;
#include <functional>
#include <optional>

class LinkCaptions final : public MainView {
public:
    LinkCaptions();

    // The view every call is handed on to; must outlive this, or be replaced.
    void setView(MainView& view) { m_view = &view; }
    std::optional<QString> caption(const QString& control) const;
    // Called when a caption that is also a link property changes.
    std::function<void()> onItemChanged;
    // The channel list's caption is the name of the chosen channel.
    std::function<int()> chosenChannel;
    // Another channel was chosen: the channel list's caption changed.
    void channelChosen();
    // The watch's N_f, criterion and reference, once saved, as the link's items.
    void setWatch(const CoreWatch& watch);
    // Told the count, voltage, trigger and status as they are shown; may be null.
    RunFollower* follower = nullptr;

    void setCountText(const QString& text) override;
    void setMinorCountText(const QString& text) override;
    void setExtremaPerCycleText(const QString& text) override;
    void setVoltageText(const QString& text, bool red) override;
    void setNextTriggerText(const QString& text) override;
    void setEventsText(const QString& text) override;
    void setTriggerLabel(const QString& text) override;
    void setTitle(const QString& text) override { m_view->setTitle(text); }
    void moveActivityLine(int32_t x1, int32_t x2) override { m_view->moveActivityLine(x1, x2); }
    void setActivityLineServed(bool served) override { m_view->setActivityLineServed(served); }
    void reportProblem(const QString& text) override;
    void reportRecovery(const QString& text) override;
    void setStatus(const QString& text, std::optional<uint32_t> back,
                   std::optional<uint32_t> fore) override;
    void setChannelList(const QStringList& names, int selected) override;
    void setTestMode(bool on) override { m_view->setTestMode(on); }
    void setWatchText(const QString& text) override;

    void setLinkLamp(LinkLamp lamp, const QString& toolTip) override {
        m_view->setLinkLamp(lamp, toolTip);
    }
    void setLinkLocked(bool locked) override { m_view->setLinkLocked(locked); }
    void setCommandText(const QString& text) override;
    void showLinkCommand(const QString& text) override { m_view->showLinkCommand(text); }
    void showLinkNotice(const QString& text) override;

private:
    void keep(const QString& control, const QString& text);

    MainView* m_view = nullptr;
    QHash<QString, QString> m_captions; // lower-case control name -> caption
    QStringList m_channels;
};

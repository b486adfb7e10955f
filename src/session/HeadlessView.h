#pragma once
// The main window's place in headless mode: status and title messages, each
// change of the cycle count, and what happens on the link become timestamped
// lines on stdout, and problems go to stderr too, so a lab PC without a
// desktop still shows what happens. Neither output can stop the counting: a
// reader that does not keep up loses lines (and is told how many), one that
// went away loses the output.
#include "platform/LineOutput.h"
#include "session/MainView.h"

#include <QDateTime>
#include <functional>
#include <unistd.h>

class HeadlessView final : public MainView {
public:
    explicit HeadlessView(int outFd = STDOUT_FILENO, int errFd = STDERR_FILENO,
                          std::function<QDateTime()> now = &QDateTime::currentDateTime)
        : m_out(outFd), m_err(errFd), m_now(std::move(now)) {}

    void setCountText(const QString& text) override;
    void setMinorCountText(const QString& text) override { m_minor = text; }
    void setExtremaPerCycleText(const QString&) override {}
    void setVoltageText(const QString& text, bool) override { m_voltage = text; }
    void setNextTriggerText(const QString& text) override { m_next = text; }
    void setEventsText(const QString&) override {}
    void setTriggerLabel(const QString&) override {}
    void setTitle(const QString& text) override;
    void moveActivityLine(int32_t, int32_t) override {}
    void setActivityLineServed(bool) override {}
    void reportProblem(const QString& text) override;
    void reportRecovery(const QString& text) override;
    void setStatus(const QString& text, std::optional<uint32_t>, std::optional<uint32_t>) override;
    void setChannelList(const QStringList&, int) override {}
    void setTestMode(bool on) override;
    // Printed when the watch's state changes kind ("watching", "stalled
    // since"), not at every new percentage or reference cycle.
    void setWatchText(const QString& text) override;

    void setLinkLamp(LinkLamp lamp, const QString& toolTip) override;
    // Nothing to lock: headless, the program ends only by a signal or a client.
    void setLinkLocked(bool) override {}
    void setCommandText(const QString& text) override;
    void showLinkCommand(const QString& text) override;
    void showLinkNotice(const QString& text) override;

private:
    void line(const QString& text);

    LineOutput m_out;
    LineOutput m_err;
    std::function<QDateTime()> m_now;
    QString m_count;
    QString m_minor;
    QString m_voltage;
    QString m_next;
    QString m_title;
    QString m_status;
    QString m_link;
    QString m_watchKind;
};

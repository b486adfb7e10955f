#pragma once
// The main window's place in headless mode: status and title messages, each
// change of the cycle count, and what happens on the link become timestamped
// lines on an output stream (stdout), so a lab PC without a desktop still
// shows what happens.
#include "session/MainView.h"

#include <QDateTime>
#include <cstdio>
#include <functional>

class XtRecorderModel;

class HeadlessView final : public MainView {
public:
    // `recorder` (may be null) records the samples and trigger marks, as the
    // recorder does behind the window.
    explicit HeadlessView(XtRecorderModel* recorder, std::FILE* out = stdout,
                          std::function<QDateTime()> now = &QDateTime::currentDateTime)
        : m_recorder(recorder), m_out(out), m_now(std::move(now)) {}

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
    void plotX(float voltage) override;
    void plotTrigger(int32_t counter) override;
    void reportProblem(const QString& text) override;
    void setStatus(const QString& text, std::optional<uint32_t>, std::optional<uint32_t>) override;
    void setChannelList(const QStringList&, int) override {}
    void setTestMode(bool on) override;

    void setLinkLamp(LinkLamp lamp, const QString& toolTip) override;
    // Nothing to lock: headless, the program ends only by a signal or a client.
    void setLinkLocked(bool) override {}
    void setCommandText(const QString& text) override;
    void showLinkCommand(const QString& text) override;
    void showLinkNotice(const QString& text) override;

private:
    void line(const QString& text);
    static QString oneLine(const QString& text);

    XtRecorderModel* m_recorder;
    std::FILE* m_out;
    std::function<QDateTime()> m_now;
    QString m_count;
    QString m_minor;
    QString m_voltage;
    QString m_next;
    QString m_title;
    QString m_status;
    QString m_link;
};

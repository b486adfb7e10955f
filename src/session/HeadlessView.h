#pragma once
// The main window's place in headless mode: status and title messages, and
// each change of the cycle count, become timestamped lines on an output
// stream (stdout), so a lab PC without a desktop still shows what happens.
#include "session/MainView.h"

#include <QDateTime>
#include <cstdio>
#include <functional>

class HeadlessView final : public MainView {
public:
    explicit HeadlessView(std::FILE* out = stdout,
                          std::function<QDateTime()> now = &QDateTime::currentDateTime)
        : m_out(out), m_now(std::move(now)) {}

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
    void setStatus(const QString& text, std::optional<uint32_t>, std::optional<uint32_t>) override;
    void setChannelList(const QStringList&, int) override {}
    void setTestMode(bool on) override;

private:
    void line(const QString& text);

    std::FILE* m_out;
    std::function<QDateTime()> m_now;
    QString m_count;
    QString m_minor;
    QString m_voltage;
    QString m_next;
    QString m_title;
    QString m_status;
};

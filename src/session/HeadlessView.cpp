#include "session/HeadlessView.h"

void HeadlessView::line(const QString& text) {
    const QString stamp = m_now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    m_out.write(stamp + u' ' + text);
}

void HeadlessView::setCountText(const QString& text) {
    if (text == m_count)
        return;
    m_count = text;
    // Before the first count the label carries the version; say so plainly.
    if (text.startsWith(u'V'))
        line(QStringLiteral("Cyclomarkator ") + text);
    else
        line(QStringLiteral("Count %1 (voltage %2 V, next trigger %3)")
                 .arg(text, m_voltage.isEmpty() ? QStringLiteral("-----") : m_voltage,
                      m_next.isEmpty() ? QStringLiteral("-") : m_next));
}

void HeadlessView::setTitle(const QString& text) {
    if (text == m_title)
        return;
    m_title = text;
    line(QStringLiteral("Title: ") + text);
}

void HeadlessView::setStatus(const QString& text, std::optional<uint32_t>,
                             std::optional<uint32_t>) {
    if (text == m_status)
        return;
    m_status = text;
    line(QStringLiteral("Status: ") + text);
}

void HeadlessView::reportProblem(const QString& text) {
    line(QStringLiteral("Problem: ") + text);
    m_err.write(QStringLiteral("Cyclomarkator: ") + text);
}

void HeadlessView::reportRecovery(const QString& text) {
    line(QStringLiteral("Recovered: ") + text);
    m_err.write(QStringLiteral("Cyclomarkator: ") + text);
}

void HeadlessView::setTestMode(bool on) {
    line(on ? QStringLiteral("Test mode on") : QStringLiteral("Test mode off"));
}

void HeadlessView::setWatchText(const QString& text) {
    qsizetype end = 0;
    while (end < text.size() && !text[end].isDigit() && text[end] != u'±')
        ++end;
    const QString kind = text.left(end);
    if (kind == m_watchKind)
        return;
    m_watchKind = kind;
    line(QStringLiteral("Watch: ") + text);
}

void HeadlessView::setLinkLamp(LinkLamp, const QString& toolTip) {
    if (toolTip == m_link)
        return;
    m_link = toolTip;
    line(toolTip);
}

// A client's text may hold line breaks; the line writer keeps it one line,
// so that no client can write lines of its own into the log.
void HeadlessView::setCommandText(const QString& text) {
    line(QStringLiteral("Label_AD_cmd: ") + text);
}

void HeadlessView::showLinkCommand(const QString& text) {
    line(QStringLiteral("DDE command: ") + text);
}

// Said on stderr too: a service's log shows whether it runs with its link.
void HeadlessView::showLinkNotice(const QString& text) {
    setStatus(text, std::nullopt, std::nullopt);
    m_err.write(QStringLiteral("Cyclomarkator: ") + text);
}

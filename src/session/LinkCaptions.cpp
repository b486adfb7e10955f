#include "session/LinkCaptions.h"

#include "common/NumberText.h"
#include "counting/CoreWatch.h"
#include "session/LinkProtocol.h"

// The captions the window has before anything sets them.
LinkCaptions::LinkCaptions() {
    const std::pair<const char*, const char*> designed[] = {
        {"Label_AD_get_cyclomarkator", ""},
        {"Label_AD_get_cyclomarkator2", ""},
        {"Label_Periodizitaet", ""},
        {"Label_TrigEvents", ""},
        {"Label_TrigCount", ""},
        {"Label_AD_get_Voltage", "##.###"},
        {"Label_AD_cmd", "cmd"},
        {"Label_AD_trigger", "-1 Label_AD_trigger"},
        {"Label_Status", "Status"},
        {"Label5(0)", "Extr. #"},
        {"Label5(1)", "Cycle #"},
        {"Label5(2)", "Extr./Cycl."},
        {"Label5(3)", "Events"},
        {"Label5(4)", "Next"},
        {"Watch_State", ""},
        {"Watch_Nf", "-1"},
        {"Watch_Criterion", ""},
        {"Watch_ReferencePeak", "0"},
        {"Watch_ReferenceValley", "0"},
        {"Watch_ReferenceAmplitude", "0"},
    };
    for (const auto& [control, text] : designed)
        m_captions.insert(QString::fromLatin1(control).toLower(), QString::fromUtf8(text));
}

std::optional<QString> LinkCaptions::caption(const QString& control) const {
    if (control.compare(LinkProtocol::ChannelListItem, Qt::CaseInsensitive) == 0) {
        const int chosen = chosenChannel ? chosenChannel() : -1;
        return chosen >= 0 && chosen < m_channels.size() ? m_channels[chosen] : QString();
    }
    const auto found = m_captions.constFind(control.toLower());
    if (found == m_captions.constEnd())
        return std::nullopt;
    return *found;
}

void LinkCaptions::keep(const QString& control, const QString& text) {
    QString& kept = m_captions[control.toLower()];
    if (kept == text)
        return;
    kept = text;
    if (onItemChanged && LinkProtocol::propertyItems().contains(control))
        onItemChanged();
}

void LinkCaptions::setCountText(const QString& text) {
    keep(LinkProtocol::CountItem, text);
    if (follower)
        follower->countShown(text);
    m_view->setCountText(text);
}

void LinkCaptions::setMinorCountText(const QString& text) {
    keep(LinkProtocol::MinorCountItem, text);
    m_view->setMinorCountText(text);
}

void LinkCaptions::setExtremaPerCycleText(const QString& text) {
    keep(QStringLiteral("Label_Periodizitaet"), text);
    m_view->setExtremaPerCycleText(text);
}

void LinkCaptions::setVoltageText(const QString& text, bool red) {
    keep(LinkProtocol::VoltageItem, text);
    if (follower)
        follower->voltageShown(text);
    m_view->setVoltageText(text, red);
}

void LinkCaptions::setNextTriggerText(const QString& text) {
    keep(QStringLiteral("Label_TrigCount"), text);
    m_view->setNextTriggerText(text);
}

void LinkCaptions::setEventsText(const QString& text) {
    keep(QStringLiteral("Label_TrigEvents"), text);
    m_view->setEventsText(text);
}

void LinkCaptions::setTriggerLabel(const QString& text) {
    keep(LinkProtocol::TriggerItem, text);
    if (follower)
        follower->triggerShown(text);
    m_view->setTriggerLabel(text);
}

void LinkCaptions::reportProblem(const QString& text) {
    keep(QStringLiteral("Label_Status"), text);
    if (follower)
        follower->statusReported(text, true);
    m_view->reportProblem(text);
}

void LinkCaptions::reportRecovery(const QString& text) {
    keep(QStringLiteral("Label_Status"), text);
    if (follower)
        follower->statusReported(text, false);
    m_view->reportRecovery(text);
}

void LinkCaptions::setStatus(const QString& text, std::optional<uint32_t> back,
                             std::optional<uint32_t> fore) {
    keep(QStringLiteral("Label_Status"), text);
    m_view->setStatus(text, back, fore);
}

void LinkCaptions::setChannelList(const QStringList& names, int selected) {
    m_channels = names;
    m_view->setChannelList(names, selected);
    channelChosen();
}

void LinkCaptions::channelChosen() {
    if (onItemChanged)
        onItemChanged();
}

void LinkCaptions::setCommandText(const QString& text) {
    keep(LinkProtocol::CommandItem, text);
    m_view->setCommandText(text);
}

void LinkCaptions::showLinkNotice(const QString& text) {
    keep(QStringLiteral("Label_Status"), text);
    m_view->showLinkNotice(text);
}

void LinkCaptions::setWatchText(const QString& text) {
    keep(LinkProtocol::WatchStateItem, text);
    m_view->setWatchText(text);
    if (follower)
        follower->watchShown(text);
}

void LinkCaptions::setWatch(const CoreWatch& watch) {
    const WatchState& s = watch.watch().state();
    const auto volts = [&s](float value) {
        return s.reference.taken ? NumberText::shortestSingle(value, QLocale::c())
                                 : QStringLiteral("0");
    };
    keep(LinkProtocol::WatchNfItem, QString::number(s.failure.failed ? s.failure.cycle : -1));
    keep(LinkProtocol::WatchCriterionItem,
         s.failure.failed ? QLatin1String(criterionName(s.failure.criterion)) : QString());
    keep(LinkProtocol::WatchReferencePeakItem, volts(s.reference.peak));
    keep(LinkProtocol::WatchReferenceValleyItem, volts(s.reference.valley));
    keep(LinkProtocol::WatchReferenceAmplitudeItem, volts(s.reference.amplitude));
}

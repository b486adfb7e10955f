#pragma once
// A LinkTarget for the link server's tests: captions the test sets, and a
// record of everything the server asked of the program.
#include "session/LinkProtocol.h"
#include "session/LinkServer.h"
#include "session/LinkTarget.h"

#include <QHash>
#include <QStringList>
#include <functional>
#include <vector>

class FakeLinkTarget final : public LinkTarget {
public:
    FakeLinkTarget() {
        captions = {{LinkProtocol::VoltageItem, "1.250"},
                    {LinkProtocol::CountItem, "41"},
                    {LinkProtocol::MinorCountItem, "0"},
                    {LinkProtocol::TriggerItem, "-1 Label_AD_trigger"},
                    {LinkProtocol::CommandItem, "cmd"},
                    {"Label_Status", "Dummy A/D"}};
    }

    // Changes a caption as the window's labels change, telling the server.
    void setCaption(const QString& name, const QString& text) {
        captions[name] = text;
        if (server)
            server->itemsChanged();
    }

    std::optional<QString> linkCaption(const QString& name) const override {
        for (auto it = captions.begin(); it != captions.end(); ++it)
            if (it.key().compare(name, Qt::CaseInsensitive) == 0)
                return it.value();
        return std::nullopt;
    }
    bool linkSetCount(int32_t count) override {
        if (saveFails)
            return false;
        countsSet.push_back(count);
        setCaption(LinkProtocol::CountItem, QString::number(count));
        return true;
    }
    void linkSetCommandText(const QString& text) override {
        setCaption(LinkProtocol::CommandItem, text);
    }
    void linkShowCommand(const QString& text) override {
        shown << text;
        if (onShow)
            onShow(text);
    }
    void linkStop() override { ++stops; }
    void linkUnload() override { ++unloads; }
    void linkStateChanged(LinkLamp newLamp, bool isLocked, const QString& tip) override {
        lamp = newLamp;
        locked = isLocked;
        toolTip = tip;
    }
    void linkProblem(const QString& text) override { problems << text; }
    void linkNotice(const QString& text) override { notices << text; }

    LinkServer* server = nullptr;
    QHash<QString, QString> captions;
    bool saveFails = false;
    std::vector<int32_t> countsSet; // (QList<int>'s == of two empty lists upsets UBSan)
    QStringList shown, problems, notices;
    std::function<void(const QString&)> onShow;
    int stops = 0, unloads = 0;
    LinkLamp lamp = LinkLamp::Off;
    bool locked = false;
    QString toolTip;
};

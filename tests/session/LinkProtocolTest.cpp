// Bus names made from executable names and from the link's name option: a
// name the bus refuses would leave a rig unreachable without a word.
#include "session/LinkProtocol.h"

#include <gtest/gtest.h>

using namespace LinkProtocol;

TEST(LinkProtocolTest, BusNames) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // name, as the link option or client gives it, as a program's base name
        {"Rig 2", "org.cyclomarkator.Rig_2", "org.cyclomarkator.Rig_2"},
        {"2nd-rig", "org.cyclomarkator._2nd-rig", "org.cyclomarkator._2nd-rig"},
        {"Prüfstand", "org.cyclomarkator.Pr_fstand", "org.cyclomarkator.Pr_fstand"},
        {"", "org.cyclomarkator._", "org.cyclomarkator._"},
        {"com.lab.rig3", "com.lab.rig3", "org.cyclomarkator.com_lab_rig3"},
        {"com.lab.3", "com.lab._3", "org.cyclomarkator.com_lab_3"},
        {"com..rig", "", "org.cyclomarkator.com__rig"},
    };
    for (const auto& [name, option, program] : cases) {
        EXPECT_EQ(serviceNameFor(QString::fromUtf8(name)), QLatin1String(option)) << name;
        EXPECT_EQ(programServiceName(QString::fromUtf8(name)), QLatin1String(program)) << name;
    }
    EXPECT_EQ(serviceNameFor(QString(300, u'a')), QString());
}

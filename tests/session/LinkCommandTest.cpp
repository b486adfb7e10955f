// Execute strings and poked words from link clients: the described examples,
// and the values that must never reach a weeks-long count.
#include "session/LinkCommand.h"
#include "session/LinkProtocol.h"

#include <gtest/gtest.h>

namespace {
using Kind = LinkCommand::Kind;

// A set that should be refused, a refusal that should be a set, or the wrong
// rounding: each a count lost or falsified at a lab.
TEST(LinkCommandTest, ExecuteStringsAndPokedWords) {
    // The value after "AD_GET_CYCLOMARKATOR=" and the count set, -1 refused: a decimal comma,
    // half to even, only blanks after the number, 2^24 + 1 beyond float precision, a value that
    // rounds to 2^31 or is infinite.
    // clang-format off
    const std::tuple<const char*, int32_t> counts[] = {
        {"12,5", 12}, {"13.5", 14}, {"  7 \t", 7}, {"  7 cycles", -1}, {"0x10", -1}, {"1e", -1},
        {"1e3", 1000}, {"12,5,6", -1}, {"&H1G", -1}, {"&H10", 16}, {"&Hxyz", -1}, {"-0.4", -1},
        {"0", 0}, {"16777217", 16777217}, {"2147483647", 2147483647}, {"2147483647.5", -1},
        {"1e999", -1}, {" abc", -1}};
    // clang-format on
    for (const auto& [value, count] : counts) {
        SCOPED_TRACE(value);
        const LinkCommand command =
            LinkCommand::parseExecute(QStringLiteral("AD_GET_CYCLOMARKATOR=") + value);
        EXPECT_EQ(std::pair(command.kind, command.count),
                  std::pair(count < 0 ? Kind::Refused : Kind::SetCount, std::max(count, 0)));
        EXPECT_EQ(command.refusal.isEmpty(), count >= 0) << command.refusal.toStdString();
    }
    const std::tuple<const char*, Kind, int32_t> cases[] = {
        {"ad_get_cyclomarkator = 1500", Kind::SetCount, 1500}, // trimmed, upper-cased
        {"AD_GET_CYCLOMARKATOR", Kind::Nothing, 0},            // reads, changes nothing
        {"ad_get_voltage = 99", Kind::Nothing, 0},             // never a count
        {"HELLO", Kind::ShowToUser, 0},
        {" AD_GET_CYCLOMARKATOR=5", Kind::ShowToUser, 0}, // leading blanks are part of the name
        {"   ", Kind::Refused, 0},
    };
    for (const auto& [text, kind, count] : cases) {
        SCOPED_TRACE(text);
        const LinkCommand command = LinkCommand::parseExecute(QString::fromUtf8(text));
        EXPECT_EQ(std::pair(command.kind, command.count), std::pair(kind, count));
        EXPECT_EQ(command.refusal.isEmpty(), kind != Kind::Refused)
            << command.refusal.toStdString();
    }
    // Commands up to the longest taken; refusals quote at most 40 characters.
    EXPECT_EQ(LinkCommand::parseExecute(QString(4096, u'x')).kind, Kind::ShowToUser);
    EXPECT_EQ(LinkCommand::parseExecute(QString(4097, u'x')).kind, Kind::Refused);
    for (const int length : {40, 41}) {
        const QString value(length, u'x');
        EXPECT_EQ(LinkCommand::parseExecute("AD_GET_CYCLOMARKATOR=" + value).refusal,
                  '"' + value.left(40) + (length > 40 ? "..." : "") +
                      "\" is no count: the value has no digit.");
    }
    // The refusal shows the value the client sent, not a rounded one.
    for (const char* value : {"2147483647.5", "1234567890123", "2147483647,5"})
        EXPECT_EQ(
            LinkCommand::parseExecute(QStringLiteral("AD_GET_CYCLOMARKATOR= ") + value).refusal,
            QStringLiteral("\"%1\" is no count: the largest count is 2147483647.").arg(value));
    EXPECT_EQ(LinkCommand::pokeWord(" Stop\n"), LinkCommand::Poke::Stop);
    EXPECT_EQ(LinkCommand::pokeWord("unload"), LinkCommand::Poke::Unload);
    EXPECT_EQ(LinkCommand::pokeWord("STOP NOW"), LinkCommand::Poke::Ignored);
}

// Bus names made from executable names and from the link's name option: a
// name the bus refuses would leave a rig unreachable without a word.
TEST(LinkProtocolTest, BusNames) {
    using namespace LinkProtocol;
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
} // namespace

// Execute strings and poked words from link clients: the described examples,
// and the values that must never reach a weeks-long count.
#include "session/LinkCommand.h"

#include <gtest/gtest.h>

namespace {
using Kind = LinkCommand::Kind;

// A set that should be refused, a refusal that should be a set, or the wrong
// rounding: each a count lost or falsified at a lab.
TEST(LinkCommandTest, ExecuteStringsAndPokedWords) {
    const std::tuple<const char*, Kind, int32_t> cases[] = {
        {"ad_get_cyclomarkator = 1500", Kind::SetCount, 1500}, // trimmed, upper-cased
        {"AD_GET_CYCLOMARKATOR=12,5", Kind::SetCount, 12},     // decimal comma, half to even
        {"AD_GET_CYCLOMARKATOR=13.5", Kind::SetCount, 14},
        {"AD_GET_CYCLOMARKATOR=  7 \t", Kind::SetCount, 7},
        {"AD_GET_CYCLOMARKATOR=  7 cycles", Kind::Refused, 0}, // only blanks after the number
        {"AD_GET_CYCLOMARKATOR=0x10", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=1e", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=1e3", Kind::SetCount, 1000},
        {"AD_GET_CYCLOMARKATOR=12,5,6", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=&H1G", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=&H10", Kind::SetCount, 16},
        {"AD_GET_CYCLOMARKATOR=&Hxyz", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=-0.4", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=0", Kind::SetCount, 0},
        {"AD_GET_CYCLOMARKATOR=2147483647", Kind::SetCount, 2147483647},
        {"AD_GET_CYCLOMARKATOR=16777217", Kind::SetCount, 16777217}, // beyond float precision
        {"AD_GET_CYCLOMARKATOR=2147483647.5", Kind::Refused, 0},     // rounds to 2^31
        {"AD_GET_CYCLOMARKATOR=1e999", Kind::Refused, 0},            // infinity
        {"AD_GET_CYCLOMARKATOR= abc", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR", Kind::Nothing, 0}, // reads, changes nothing
        {"ad_get_voltage = 99", Kind::Nothing, 0},  // never a count
        {"HELLO", Kind::ShowToUser, 0},
        {" AD_GET_CYCLOMARKATOR=5", Kind::ShowToUser, 0}, // leading blanks are part of the name
        {"   ", Kind::Refused, 0},
    };
    for (const auto& [text, kind, count] : cases) {
        SCOPED_TRACE(text);
        const LinkCommand command = LinkCommand::parseExecute(QString::fromUtf8(text));
        EXPECT_EQ(command.kind, kind);
        EXPECT_EQ(command.count, count);
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
    EXPECT_TRUE(LinkCommand::parseExecute("AD_GET_CYCLOMARKATOR=2147483647.5")
                    .refusal.startsWith("2147483647.5 is no count"));
    EXPECT_EQ(LinkCommand::pokeWord(" Stop\n"), LinkCommand::Poke::Stop);
    EXPECT_EQ(LinkCommand::pokeWord("unload"), LinkCommand::Poke::Unload);
    EXPECT_EQ(LinkCommand::pokeWord("STOP NOW"), LinkCommand::Poke::Ignored);
}
} // namespace

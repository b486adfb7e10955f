// Execute strings and poked words from link clients: the described examples,
// and the values that must never reach a weeks-long count.
#include "session/LinkCommand.h"

#include <gtest/gtest.h>

namespace {
using Kind = LinkCommand::Kind;

struct ExecuteCase {
    const char* text;
    Kind kind;
    int32_t count; // for SetCount
};

// A set that should be refused, a refusal that should be a set, or the wrong
// rounding: each a count lost or falsified at a lab.
TEST(LinkCommandTest, ExecuteStrings) {
    const ExecuteCase cases[] = {
        {"ad_get_cyclomarkator = 1500", Kind::SetCount, 1500}, // trimmed, upper-cased
        {"AD_GET_CYCLOMARKATOR=12,5", Kind::SetCount, 12},     // decimal comma, half to even
        {"AD_GET_CYCLOMARKATOR=13.5", Kind::SetCount, 14},
        {"AD_GET_CYCLOMARKATOR=  7 cycles", Kind::SetCount, 7},
        {"AD_GET_CYCLOMARKATOR=&H10", Kind::SetCount, 16},
        {"AD_GET_CYCLOMARKATOR=-0.4", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=2147483647", Kind::SetCount, 2147483647},
        {"AD_GET_CYCLOMARKATOR=16777217", Kind::SetCount, 16777217}, // beyond float precision
        {"AD_GET_CYCLOMARKATOR=2147483647.5", Kind::Refused, 0},     // rounds to 2^31
        {"AD_GET_CYCLOMARKATOR=2147483648", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=-5", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=1e300", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=-1e300", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=1e999", Kind::Refused, 0}, // infinity
        {"AD_GET_CYCLOMARKATOR=nan", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=inf", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR= abc", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=-", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR=&Hxyz", Kind::Refused, 0},
        {"AD_GET_CYCLOMARKATOR", Kind::Nothing, 0}, // reads, changes nothing
        {"AD_GET_CYCLOMARKATOR   ", Kind::Nothing, 0},
        {"AD_GET_VOLTAGE", Kind::Nothing, 0},
        {"ad_get_voltage = 99", Kind::Nothing, 0}, // never a count
        {"HELLO", Kind::ShowToUser, 0},
        {" AD_GET_CYCLOMARKATOR=5", Kind::ShowToUser, 0}, // leading blanks are part of the name
        {"=5", Kind::ShowToUser, 0},
        {"", Kind::Refused, 0},
        {"   ", Kind::Refused, 0},
    };
    for (const ExecuteCase& c : cases) {
        SCOPED_TRACE(c.text);
        const LinkCommand command = LinkCommand::parseExecute(QString::fromUtf8(c.text));
        EXPECT_EQ(command.kind, c.kind);
        if (c.kind == Kind::SetCount) {
            EXPECT_EQ(command.count, c.count);
        }
        EXPECT_EQ(command.refusal.isEmpty(), c.kind != Kind::Refused)
            << command.refusal.toStdString();
    }
}

TEST(LinkCommandTest, PokedWords) {
    using Poke = LinkCommand::Poke;
    const std::pair<const char*, Poke> cases[] = {
        {"STOP", Poke::Stop},     {"stop", Poke::Stop},        {" Stop\n", Poke::Stop},
        {"UNLOAD", Poke::Unload}, {"unload", Poke::Unload},    {"STOPP", Poke::Ignored},
        {"", Poke::Ignored},      {"STOP NOW", Poke::Ignored}, {"cmd", Poke::Ignored},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(LinkCommand::pokeWord(QString::fromUtf8(text)), expected) << text;
}
} // namespace

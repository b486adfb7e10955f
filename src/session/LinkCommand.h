#pragma once
// What a link client's execute string or poked command word asks of the
// counter, decided without touching it. Execute strings are "COMMAND" or
// "COMMAND = value": the command is trimmed of trailing blanks and compared in
// upper case, the value is read like every number of the program (a decimal
// comma or point). A count that is no whole 32-bit number of cycles (no digit,
// anything but blanks after the number, negative, NaN, infinite, too large) is
// refused: a weeks-long count must never be zeroed by a typing error.
#include <QString>
#include <cstdint>

class LinkCommand {
public:
    enum class Kind {
        SetCount,   // "AD_GET_CYCLOMARKATOR = n": `count` is the new count
        Nothing,    // accepted, nothing to do
        ShowToUser, // not ours: the received string is shown to the user
        Refused,    // `refusal` says why, for the client
    };
    enum class Poke { Stop, Unload, Ignored };

    Kind kind = Kind::Nothing;
    int32_t count = 0;
    QString refusal;

    static LinkCommand parseExecute(const QString& text);
    // The value of "AD_GET_CYCLOMARKATOR = value" alone: SetCount or Refused.
    static LinkCommand parseCount(const QString& valueText) { return countFrom(valueText); }
    // The word poked into Label_AD_cmd; blanks around it and case do not matter.
    static Poke pokeWord(const QString& text);

private:
    static LinkCommand refused(const QString& why);
    static LinkCommand countFrom(QString valueText);
};

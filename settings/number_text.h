#pragma once

#include <string_view>

namespace settings {

// How a number text is read. Every reader takes the one shape
// [sign] digits [. digits] [E|e [sign] digits], or with the digits after the point only;
// an exponent without digits is not part of the number.
struct NumberRules
{
    // What may follow the number.
    enum class End
    {
        TextEnd,  // nothing: the number fills the text
        Anything,  // anything: the longest leading number is read
    };

    bool skipBlanks = false;  // blanks, tabs and line feeds are dropped wherever they stand
    bool radixPrefixes = false;  // "&H" and "&O" start a hexadecimal or octal integer
    End end = End::TextEnd;
};

struct ScannedNumber
{
    enum class Kind
    {
        Number,
        NotANumber,  // no number, or not what the rules allow after it
        TooLarge,  // a decimal number beyond the double range
    };

    Kind kind = Kind::NotANumber;
    // The value, for a Number; an infinity of the number's sign when TooLarge. A number too
    // small for a double reads as a zero of its sign; a radix integer too long for one as an
    // infinity.
    double value = 0.0;
};

// Reads the number that `text` holds under `rules`.
ScannedNumber scanNumber(std::string_view text, NumberRules rules);

}  // namespace settings

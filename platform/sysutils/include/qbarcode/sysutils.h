/// \file
/// Runtime basics of the framework layer: the exception hierarchy, message
/// formatting, string and number conversions, and the assertion macro.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

/// The library's namespace: every declaration of the installed headers
/// (qbarcode/global_names.h brings the component API's names to global scope).
namespace qb {

/// The one general exception type: every failure of the library is raised as
/// an Exception (or a subclass) whose Message is what the caller shows.
class Exception : public std::exception {
public:
    /// An exception whose Message is message.
    explicit Exception(std::string message) : Message(std::move(message)) {}
    /// The Message, for handlers of std::exception.
    const char* what() const noexcept override { return Message.c_str(); }
    /// The text to show the user.
    std::string Message;
};

/// Raised when a string does not convert to a number.
class EConvertError : public Exception {
public:
    /// Takes the message to show.
    using Exception::Exception;
};

/// Raised by a failed assertion in the assertion-enabled build.
class EAssertionFailed : public Exception {
public:
    /// Takes the message to show.
    using Exception::Exception;
};

/// One argument of Format: a string or an integer.
using FormatArg = std::variant<std::string_view, long long>;

/// Formats a message: each `%s` takes the next string argument, each `%d` the
/// next integer, `%%` writes a percent sign. A missing or mismatched argument
/// raises an Exception naming the pattern.
std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args);

/// Removes every leading and trailing character whose code is 0 to 32.
std::string Trim(std::string_view s);

/// Converts a decimal integer (optional sign, surrounding blanks allowed, `$`
/// for hexadecimal) to a 32-bit value; raises EConvertError with
/// "'<s>' is not a valid integer value" for anything else or out of range.
int StrToInt(std::string_view s);

/// Rounds to the nearest integer, halves to the even neighbour, in extended
/// precision. Raises Exception("Invalid floating point operation") when the
/// result does not fit 64 bits (or for NaN).
std::int64_t Round(long double v);

/// Raises EAssertionFailed("<message> (<file>, line <n>)").
[[noreturn]] void AssertionFailed(std::string_view message, const char* file, int line);

/// Selects the flavour: 1 keeps assertions (the Kavrel package), 0 compiles
/// them out (Kavrin). Set by the build of each flavour; 1 when unset.
#ifndef QB_ASSERTIONS
#define QB_ASSERTIONS 1
#endif

/// Raises EAssertionFailed with message, this file and line when cond is false
/// (with QB_ASSERTIONS set); does nothing at all otherwise.
#if QB_ASSERTIONS
#define QB_ASSERT(cond, message)                                                                                       \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            ::qb::AssertionFailed((message), __FILE__, __LINE__);                                                      \
    } while (0)
#else
#define QB_ASSERT(cond, message)                                                                                       \
    do {                                                                                                               \
    } while (0)
#endif

} // namespace qb

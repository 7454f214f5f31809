// The common exception base of Reelo. Every failure of the system is an
// exception that carries a message text (code page 932); the application's
// handler shows that text in a message box.
#pragma once

#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};

// A file that cannot be opened, created, read or written.
class EFileError : public Exception {
public:
    using Exception::Exception;
};

// A text that is not a number where a number is required (an integer in a
// settings file, a float read with ReadFloat).
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

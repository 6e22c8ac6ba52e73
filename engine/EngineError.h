#pragma once

#include <stdexcept>

namespace pw {

// Raised by the engine when a table design or a value is refused, or the
// output file cannot be written.
class EngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value or a record the format cannot hold as given (out of range, another
// kind of value, longer than a page): the file itself is still sound.
class ValueRefused : public EngineError {
public:
    using EngineError::EngineError;
};

}  // namespace pw

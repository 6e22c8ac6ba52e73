#pragma once

#include <stdexcept>

namespace pw {

// Raised by the engine when a statement, a query or a value is refused, or the
// output file cannot be written. The export catches it whole, as it would any
// database engine's error.
class EngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace pw

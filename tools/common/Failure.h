#pragma once

#include <stdexcept>
#include <string>

// The one sentence a tool prints on standard error before it exits with a non-zero status.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const std::string& sentence)
        : std::runtime_error(sentence)
    {
    }
};

#include "text/failure.hpp"

#include <cstring>

Failure os_failure(std::string what, int error_number)
{
    return {std::move(what), std::strerror(error_number)};
}

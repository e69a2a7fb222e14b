#pragma once

#include "failure.h"

#include <system_error>
#include <utility>

// What a system call gave back: its value, or the error it failed with.
template<typename T> class Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    { }
    Result(std::error_code error)
        : m_error(error)
    { }

    explicit operator bool() const { return !m_error; }
    std::error_code error() const { return m_error; }
    T &operator*() { return m_value; }
    const T &operator*() const { return m_value; }
    T *operator->() { return &m_value; }
    const T *operator->() const { return &m_value; }

    // The value; the error as a Failure on `side`.
    T orThrow(Side side) &&
    {
        if (m_error)
            throw Failure(m_error, side);
        return std::move(m_value);
    }

private:
    T m_value {};
    std::error_code m_error;
};

// Throws `error`, if it is one, as a Failure on `side`.
inline void throwIfFailed(std::error_code error, Side side)
{
    if (error)
        throw Failure(error, side);
}

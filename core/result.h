// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// The one result type of the core: the value a function made, or the error that kept it
// from making it (what went wrong and, for the chip, on which port). It has the shape of
// C++23's std::expected, which not every compiler the project builds with offers yet
// (the fuzzing build's clang 14 lacks it), so that moving to it later is a rename:
//
//     Result<int, QString> parse(const QString &text);
//     ...
//     if (!parsed)
//         return Failure(parsed.error());
//     use(*parsed);

// An error on its way into a Result: `return Failure(error);`.
template<class E>
class Failure final
{
public:
    explicit Failure(E error) : m_error(std::move(error)) {}

    const E &error() const & { return m_error; }
    E &&error() && { return std::move(m_error); }

private:
    E m_error;
};

template<class T, class E>
class [[nodiscard]] Result final
{
public:
    using ValueType = T;
    using ErrorType = E;

    Result() requires std::is_default_constructible_v<T> : m_state(std::in_place_index<0>) {}
    Result(const T &value) : m_state(std::in_place_index<0>, value) {}
    Result(T &&value) : m_state(std::in_place_index<0>, std::move(value)) {}
    template<class G>
    Result(Failure<G> failure) : m_state(std::in_place_index<1>, std::move(failure).error()) {}

    bool hasValue() const noexcept { return m_state.index() == 0; }
    explicit operator bool() const noexcept { return hasValue(); }

    const T &value() const & { Q_ASSERT(hasValue()); return std::get<0>(m_state); }
    T &value() & { Q_ASSERT(hasValue()); return std::get<0>(m_state); }
    T &&value() && { Q_ASSERT(hasValue()); return std::get<0>(std::move(m_state)); }
    const T &operator*() const & { return value(); }
    T &operator*() & { return value(); }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }

    const E &error() const & { Q_ASSERT(!hasValue()); return std::get<1>(m_state); }
    E &error() & { Q_ASSERT(!hasValue()); return std::get<1>(m_state); }

    template<class U>
    T valueOr(U &&fallback) const &
    {
        return hasValue() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

private:
    std::variant<T, E> m_state;
};

// Success without a value: only the error, if any, is of interest.
template<class E>
class [[nodiscard]] Result<void, E> final
{
public:
    using ValueType = void;
    using ErrorType = E;

    Result() = default;
    template<class G>
    Result(Failure<G> failure) : m_error(std::move(failure).error()) {}

    bool hasValue() const noexcept { return !m_error.has_value(); }
    explicit operator bool() const noexcept { return hasValue(); }

    const E &error() const & { Q_ASSERT(!hasValue()); return *m_error; }
    E &error() & { Q_ASSERT(!hasValue()); return *m_error; }

private:
    std::optional<E> m_error;
};

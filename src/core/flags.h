#pragma once

#include <concepts>
#include <type_traits>

// Bit sets over an enum class. An enum opts in by declaring `constexpr bool IsFlagSet(E) { return true; }`
// beside itself; its values then combine with | and & and stay their own type, so a set of one kind can
// never be passed where another kind is expected.
template <typename E>
concept FlagSet = std::is_enum_v<E> && requires(E e) {
  { IsFlagSet(e) } -> std::same_as<bool>;
};

template <FlagSet E>
constexpr E operator|(E a, E b) {
  using U = std::underlying_type_t<E>;
  return static_cast<E>(static_cast<U>(a) | static_cast<U>(b));
}

template <FlagSet E>
constexpr E operator&(E a, E b) {
  using U = std::underlying_type_t<E>;
  return static_cast<E>(static_cast<U>(a) & static_cast<U>(b));
}

template <FlagSet E>
constexpr E& operator|=(E& a, E b) {
  return a = a | b;
}

// Whether the set holds any bit of `bits`.
template <FlagSet E>
constexpr bool HasAny(E set, E bits) {
  return static_cast<std::underlying_type_t<E>>(set & bits) != 0;
}

// The number the set stands for, where it is written out (registry, log, download status).
template <FlagSet E>
constexpr std::underlying_type_t<E> BitsOf(E set) {
  return static_cast<std::underlying_type_t<E>>(set);
}

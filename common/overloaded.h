// One callable from several lambdas, for std::visit: `std::visit(Overloaded{[](int) {}, [](bool) {}}, v)`.
#pragma once

namespace corvella {

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;  // Clang 14 does not deduce it from the aggregate

}  // namespace corvella

// What the engine uses of C++20 that the libc++ of Debian's emscripten (LLVM 14) lacks. Forced
// into every file of the page's build only; newer libraries bring their own.
#pragma once

#ifdef __cplusplus
#include <memory>
#include <type_traits>

#if !defined(__cpp_lib_smart_ptr_for_overwrite)
namespace std {
template <class T>
requires is_unbounded_array_v<T> unique_ptr<T> make_unique_for_overwrite(size_t size) {
    return unique_ptr<T>(new remove_extent_t<T>[size]);
}
template <class T>
requires(!is_array_v<T>) unique_ptr<T> make_unique_for_overwrite() {
    return unique_ptr<T>(new T);
}
}  // namespace std
#endif
#endif

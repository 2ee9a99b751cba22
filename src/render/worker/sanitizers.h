#pragma once

// Whether this build runs under AddressSanitizer, whose allocator keeps freed memory and its own
// shadow (readings of the process's peak memory mean nothing there), and reserves terabytes of
// address space (no memory limit can be set on it).
namespace LWSanitizers {
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool address = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool address = true;
#else
inline constexpr bool address = false;
#endif
#else
inline constexpr bool address = false;
#endif
} // namespace LWSanitizers

// Build-time choice of the kernel tables that serve the exported names.
//
// Every family defines its kernel table twice, `opx::<family>::ref::k…` (portable C++) and
// `opx::<family>::avx2::k…` (AVX2). The entry points name the table through OPX_KERNELS, so the
// choice is made once, when the library is built: there is no run-time CPU detection.
#pragma once

#ifndef OPX_USE_AVX2
#define OPX_USE_AVX2 1
#endif

#if OPX_USE_AVX2
#define OPX_KERNELS avx2
#else
#define OPX_KERNELS ref
#endif

#if defined(__GNUC__)
#define OPX_INLINE inline __attribute__((always_inline))
#define OPX_RESTRICT __restrict__
#define OPX_LIKELY(x) __builtin_expect(!!(x), 1)
#define OPX_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define OPX_INLINE inline
#define OPX_RESTRICT
#define OPX_LIKELY(x) (x)
#define OPX_UNLIKELY(x) (x)
#endif

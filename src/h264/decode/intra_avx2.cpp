// AVX2 intra prediction kernels.
#include <immintrin.h>

#include <utility>

#include "h264/decode/intra.hpp"

namespace opx::h264::avx2 {
namespace {

template <int S>
void fwd4x4(Opx8u* d, std::int32_t s) noexcept {
    ref::kIntra.pred4x4[S](d, s);
}
void fwd_filter(Opx8u* e, int a) noexcept {
    ref::kIntra.filter8x8(e, a);
}
template <int S>
void fwd8x8(Opx8u* d, std::int32_t s, const Opx8u* e) noexcept {
    ref::kIntra.pred8x8[S](d, s, e);
}
template <int S>
void fwd16(Opx8u* d, std::int32_t s) noexcept {
    ref::kIntra.pred16x16[S](d, s);
}
template <int S>
void fwdc(Opx8u* d, std::int32_t s) noexcept {
    ref::kIntra.chroma[S](d, s);
}
template <int S>
void fwddc(Opx8u* d, std::int32_t s) noexcept {
    ref::kIntra.chroma_dc[S](d, s);
}

template <int... S>
constexpr IntraKernels make_table(std::integer_sequence<int, S...>) {
    return IntraKernels{
        {fwd4x4<0>, fwd4x4<1>, fwd4x4<2>, fwd4x4<3>, fwd4x4<4>, fwd4x4<5>, fwd4x4<6>, fwd4x4<7>,
         fwd4x4<8>, fwd4x4<9>, fwd4x4<10>, fwd4x4<11>, fwd4x4<12>, fwd4x4<13>},
        fwd_filter,
        {fwd8x8<0>, fwd8x8<1>, fwd8x8<2>, fwd8x8<3>, fwd8x8<4>, fwd8x8<5>, fwd8x8<6>, fwd8x8<7>,
         fwd8x8<8>, fwd8x8<9>, fwd8x8<10>, fwd8x8<11>},
        {fwd16<0>, fwd16<1>, fwd16<2>, fwd16<3>, fwd16<4>, fwd16<5>, fwd16<6>},
        {fwdc<0>, fwdc<1>, fwdc<2>},
        {fwddc<S>...},
    };
}

}  // namespace

extern const IntraKernels kIntra = make_table(std::make_integer_sequence<int, kNumChromaDcSlots>{});

}  // namespace opx::h264::avx2

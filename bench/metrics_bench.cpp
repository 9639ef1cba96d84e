// Distortion metrics: exported functions against their portable kernels. Reference blocks sit one
// byte past a 64-byte boundary (the usual unaligned case of motion search), steps 64 bytes.
#include <cstddef>

#include "bench.hpp"
#include "metrics/sad.hpp"
#include "metrics/satd.hpp"
#include "metrics/ssd.hpp"
#include "opxvc.h"

namespace {

constexpr int kStep = 64;
// Every block that is read starts a page of its own and is read within bytes 0..1200 of it; the
// results are written at bytes 3072.. of a page, so that no result store shares its low 12
// address bits with a row the next call loads (4K aliasing would hold that load back, a cost of
// the layout rather than of the functions).
struct alignas(4096) Buffers {
    alignas(4096) Opx8u src[64 * 40];
    alignas(4096) Opx8u ref[64 * 40];
    alignas(4096) Opx16u src16[32 * 40];
    alignas(4096) Opx16u ref16[32 * 40];
    alignas(4096) Opx16s src16s[32 * 40];
    struct alignas(1024) Results {
        // Results written through pointers go straight here: copying them out would time the
        // harness.
        Opx32s out, out2;
        volatile Opx32s sink;
        Opx16u sad16[64];
        Opx32u sad32[16];
    } results;
} g_buffers;
static_assert(offsetof(Buffers, results) % 4096 == 3072);
Opx8u* const g_src = g_buffers.src;
Opx8u* const g_ref = g_buffers.ref;
Opx16u* const g_src16 = g_buffers.src16;
Opx16u* const g_ref16 = g_buffers.ref16;
Opx16s* const g_src16s = g_buffers.src16s;
Opx16u* const g_sad16 = g_buffers.results.sad16;
Opx32u* const g_sad32 = g_buffers.results.sad32;
volatile Opx32s& g_sink = g_buffers.results.sink;
Opx32s& g_out = g_buffers.results.out;
Opx32s& g_out2 = g_buffers.results.out2;

const Opx8u* src() {
    return g_src;
}
const Opx8u* cand() {
    return g_ref + 1;
}

struct Init {
    Init() {
        std::uint32_t x = 12345;
        for (auto* a : {g_src, g_ref})
            for (int i = 0; i < 64 * 40; ++i)
                a[i] = static_cast<Opx8u>((x = x * 1103515245 + 12345) >> 16);
        for (int i = 0; i < 32 * 40; ++i) {
            g_src16[i] = static_cast<Opx16u>((x = x * 1103515245 + 12345) >> 18);
            g_ref16[i] = static_cast<Opx16u>((x = x * 1103515245 + 12345) >> 18);
            g_src16s[i] = static_cast<Opx16s>((x = x * 1103515245 + 12345) >> 16);
        }
    }
} g_init;

}  // namespace

OPX_BENCH_CASES(metrics) {
    using namespace opx::metrics;
    using opx::bench::add;
    namespace r = opx::metrics::ref;

    // Single-candidate SAD.
    for (int mc : {0, 4, 8, 12}) {
        const std::string label = "mcType" + std::to_string(mc);
        const int pos = mc >> 2;
        add(
            "opxiSAD16x16_8u32s", label,
            [mc] { opxiSAD16x16_8u32s(src(), kStep, cand(), kStep, &g_out, mc); },
            [pos] { r::kSad.sad[kSad16x16][pos](src(), kStep, cand(), kStep, &g_out); });
        add(
            "opxiSAD16x8_8u32s_C1R", label,
            [mc] { opxiSAD16x8_8u32s_C1R(src(), kStep, cand(), kStep, &g_out, mc); },
            [pos] { r::kSad.sad[kSad16x8][pos](src(), kStep, cand(), kStep, &g_out); });
        add(
            "opxiSAD8x8_8u32s_C1R", label,
            [mc] { opxiSAD8x8_8u32s_C1R(src(), kStep, cand(), kStep, &g_out, mc); },
            [pos] { r::kSad.sad[kSad8x8][pos](src(), kStep, cand(), kStep, &g_out); });
        add(
            "opxiSSD8x8_8u32s_C1R", label,
            [mc] { opxiSSD8x8_8u32s_C1R(src(), kStep, cand(), kStep, &g_out, mc); },
            [pos] { r::kSsd.ssd[kSsd8x8][pos](src(), kStep, cand(), kStep, &g_out); });
        add(
            "opxiSSD4x4_8u32s_C1R", label,
            [mc] { opxiSSD4x4_8u32s_C1R(src(), kStep, cand(), kStep, &g_out, mc); },
            [pos] { r::kSsd.ssd[kSsd4x4][pos](src(), kStep, cand(), kStep, &g_out); });
        add(
            "opxiSAD16x16_16u32s_C1R", label,
            [mc] { opxiSAD16x16_16u32s_C1R(g_src16, kStep, g_ref16 + 1, kStep, &g_out, mc); },
            [pos] {
                r::kSad.sad16u[kSad16u16x16][pos](g_src16, kStep, g_ref16 + 1, kStep, &g_out);
            });
        add(
            "opxiSAD8x8_8u32s_C2R", label,
            [mc] { opxiSAD8x8_8u32s_C2R(src(), kStep, cand(), kStep, &g_out, &g_out2, mc); },
            [pos] {
                std::int32_t s[2];
                r::kSad.sad_c2[pos](src(), kStep, cand(), kStep, s);
                g_sink = s[0];
            });
    }
    add(
        "opxiSAD8x16_8u32s_C1R", "8x16",
        [] { opxiSAD8x16_8u32s_C1R(src(), kStep, cand(), kStep, &g_out); },
        [] { r::kSad.sad[kSad8x16][kInteger](src(), kStep, cand(), kStep, &g_out); });
    add(
        "opxiSAD8x4_8u32s_C1R", "8x4",
        [] { opxiSAD8x4_8u32s_C1R(src(), kStep, cand(), kStep, &g_out); },
        [] { r::kSad.sad[kSad8x4][kInteger](src(), kStep, cand(), kStep, &g_out); });
    add(
        "opxiSAD4x8_8u32s_C1R", "4x8",
        [] { opxiSAD4x8_8u32s_C1R(src(), kStep, cand(), kStep, &g_out); },
        [] { r::kSad.sad[kSad4x8][kInteger](src(), kStep, cand(), kStep, &g_out); });
    add(
        "opxiSAD4x4_8u32s", "4x4", [] { opxiSAD4x4_8u32s(src(), kStep, cand(), kStep, &g_out); },
        [] { r::kSad.sad[kSad4x4][kInteger](src(), kStep, cand(), kStep, &g_out); });

    // Rows of candidates.
    add(
        "opxiSAD16x16xN_8u16u_C1R", "N16",
        [] { opxiSAD16x16xN_8u16u_C1R(src(), kStep, cand(), kStep, g_sad16, 16); },
        [] { r::kSad.xn[kXn16x16](src(), kStep, cand(), kStep, g_sad16, 16); });
    add(
        "opxiSAD8x8xN_8u16u_C1R", "N16",
        [] { opxiSAD8x8xN_8u16u_C1R(src(), kStep, cand(), kStep, g_sad16, 16); },
        [] { r::kSad.xn[kXn8x8](src(), kStep, cand(), kStep, g_sad16, 16); });
    add(
        "opxiSAD4x4xN_8u16u_C1R", "N16",
        [] { opxiSAD4x4xN_8u16u_C1R(src(), kStep, cand(), kStep, g_sad16, 16); },
        [] { r::kSad.xn[kXn4x4](src(), kStep, cand(), kStep, g_sad16, 16); });
    add(
        "opxiSAD2x2xN_8u16u_C1R", "N16",
        [] { opxiSAD2x2xN_8u16u_C1R(src(), kStep, cand(), kStep, g_sad16, 16); },
        [] { r::kSad.xn[kXn2x2](src(), kStep, cand(), kStep, g_sad16, 16); });
    add(
        "opxiSAD16x16xNI_8u16u_C1R", "N16",
        [] { opxiSAD16x16xNI_8u16u_C1R(src(), kStep, cand(), kStep, g_sad16, 16, &g_out); },
        [] { g_sink = r::kSad.xni[kXn16x16](src(), kStep, cand(), kStep, g_sad16, 16); });

    // Sub-blocks.
    add(
        "opxiSAD16x16Blocks8x8_8u16u", "16x16",
        [] { opxiSAD16x16Blocks8x8_8u16u(src(), kStep, cand(), kStep, g_sad16); },
        [] { r::kSad.blocks8u[kBlocks8x8](src(), kStep, cand(), kStep, g_sad16); });
    add(
        "opxiSAD16x16Blocks4x4_8u16u", "16x16",
        [] { opxiSAD16x16Blocks4x4_8u16u(src(), kStep, cand(), kStep, g_sad16); },
        [] { r::kSad.blocks8u[kBlocks4x4](src(), kStep, cand(), kStep, g_sad16); });
    add(
        "opxiSAD16x16Blocks4x4_16u32u_C1R", "16x16",
        [] { opxiSAD16x16Blocks4x4_16u32u_C1R(g_src16, kStep, g_ref16 + 1, kStep, g_sad32); },
        [] { r::kSad.blocks16u[kBlocks4x4](g_src16, kStep, g_ref16 + 1, kStep, g_sad32); });

    // Hadamard measures.
    const struct {
        const char* name;
        const char* label;
        OpxResult (*fn)(const Opx8u*, Opx32s, const Opx8u*, Opx32s, Opx32s*) noexcept;
        SatdSize size;
    } satds[] = {{"opxiSATD16x16_8u32s_C1R", "16x16", opxiSATD16x16_8u32s_C1R, kSatd16x16},
                 {"opxiSATD16x8_8u32s_C1R", "16x8", opxiSATD16x8_8u32s_C1R, kSatd16x8},
                 {"opxiSATD8x16_8u32s_C1R", "8x16", opxiSATD8x16_8u32s_C1R, kSatd8x16},
                 {"opxiSATD8x8_8u32s_C1R", "8x8", opxiSATD8x8_8u32s_C1R, kSatd8x8},
                 {"opxiSATD8x4_8u32s_C1R", "8x4", opxiSATD8x4_8u32s_C1R, kSatd8x4},
                 {"opxiSATD4x8_8u32s_C1R", "4x8", opxiSATD4x8_8u32s_C1R, kSatd4x8},
                 {"opxiSATD4x4_8u32s_C1R", "4x4", opxiSATD4x4_8u32s_C1R, kSatd4x4}};
    for (const auto& c : satds) {
        auto fn = c.fn;
        auto size = c.size;
        add(
            c.name, c.label, [fn] { fn(src(), kStep, cand(), kStep, &g_out); },
            [size] { r::kSatd.satd[size](src(), kStep, cand(), kStep, &g_out); });
    }
    add(
        "opxiSAT8x8D_8u32s_C1R", "8x8",
        [] { opxiSAT8x8D_8u32s_C1R(src(), kStep, cand(), kStep, &g_out); },
        [] { r::kSatd.sat8x8d(src(), kStep, cand(), kStep, &g_out); });
    add(
        "opxiSAT8x8D_16u32s_C1R", "8x8",
        [] { opxiSAT8x8D_16u32s_C1R(g_src16, kStep, g_ref16 + 1, kStep, &g_out); },
        [] { r::kSatd.sat8x8d_16u(g_src16, kStep, g_ref16 + 1, kStep, &g_out); });

    // Frame/field activity.
    add(
        "opxiFrameFieldSAD16x16_8u32s_C1R", "16x16",
        [] { opxiFrameFieldSAD16x16_8u32s_C1R(src(), kStep, &g_out, &g_out2); },
        [] { g_sink = r::kSsd.frame_field_8u(src(), kStep).frame; });
    add(
        "opxiFrameFieldSAD16x16_16s32s_C1R", "16x16",
        [] { opxiFrameFieldSAD16x16_16s32s_C1R(g_src16s, kStep, &g_out, &g_out2); },
        [] { g_sink = r::kSsd.frame_field_16s(g_src16s, kStep).frame; });
}

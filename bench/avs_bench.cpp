// AVS part 2 primitives. Portable figures call the portable kernels of the same work (for the
// macroblock-level functions: the exported function with the portable tables selected).
#include <vector>

#include "../tests/avs/avs_test_util.hpp"
#include "avs/avs.hpp"
#include "bench.hpp"
#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace {

using namespace opx::avs;

constexpr int kStep = 64;
// Source rows at bytes 0..2047 of a page, destinations from 2048 (no 4K aliasing of the timed
// stores with the loads).
struct alignas(4096) Buffers {
    Opx8u src[kStep * 32];
    Opx8u dst[kStep * 32];
    Opx8u plane[kStep * 48];
    alignas(64) Opx16s coeff[4 * 64];
    alignas(64) Opx16s scratch[4 * 64];
} g;
Opx8u* const g_block = g.src + 8 * kStep + 8;
Opx8u* const g_mb = g.plane + 16 * kStep + 16;

// Coefficient blocks: DC only, top-left 4×4, a full block of small levels.
struct Init {
    Init() {
        unsigned v = 12345;
        auto next = [&v] { return (v = v * 1103515245u + 12345u) >> 16; };
        for (Opx8u& s : g.src) s = static_cast<Opx8u>(next());
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < kStep; ++x)
                g.plane[y * kStep + x] =
                    static_cast<Opx8u>(90 + ((x / 8) * 7 + (y / 8) * 5) % 11 * 3 + (x * 3 + y) % 3);
        for (int b = 0; b < 4; ++b)
            for (int i = 0; i < 64; ++i)
                g.coeff[b * 64 + i] = static_cast<Opx16s>(static_cast<int>(next() % 9) - 4);
    }
} g_init;

// Blocks of the three kinds encoded from synthetic coefficient statistics (a few low-frequency
// levels, decaying, an occasional large level needing an escape), concatenated.
struct Stream {
    std::vector<std::uint32_t> words;
    int blocks = 0;
    Stream() {
        opx::test::avs::BitWriter w;
        unsigned v = 777;
        auto next = [&v] { return (v = v * 1103515245u + 12345u) >> 16; };
        for (int b = 0; b < 96; ++b) {
            std::vector<int> c(64, 0);
            const int n = 1 + static_cast<int>(next() % 10);
            for (int i = 0; i < n; ++i) {
                const int pos = static_cast<int>(next() % (8 + 4 * i));
                int level = 1 + static_cast<int>(next() % (i < 2 ? 6 : 2));
                if (next() % 40 == 0) level = 20 + static_cast<int>(next() % 200);
                c[pos < 64 ? pos : 63] = next() & 1 ? level : -level;
            }
            opx::test::avs::encode_block(w, b % 3, c);
        }
        blocks = 96;
        words = w.words();
    }
} g_stream;

void decode_mix() {
    Opx32u* p = g_stream.words.data();
    Opx32s off = 31, num;
    for (int b = 0; b < g_stream.blocks; b += 3) {
        opxiDecodeLumaBlockIntra_AVS_1u16s(&p, &off, &num, g.scratch, 0);
        opxiDecodeLumaBlockInter_AVS_1u16s(&p, &off, &num, g.scratch, 0);
        opxiDecodeChromaBlock_AVS_1u16s(&p, &off, &num, g.scratch, 0);
    }
}

template <class F>
void portable(F f) {
    opx::bench::through_portable(f)();
}

void recon_one(Opx32s num) {
    Opx16s* c = g.coeff;
    const Opx32s n[4] = {num, num, num, num};
    opxiReconstructLumaInter_AVS_16s8u_C1R(&c, g_mb, kStep, n, 1, 30);
}

void recon_mb() {
    Opx16s* c = g.coeff;
    const Opx32u modes[4] = {2, 0, 1, 4};
    const Opx32s n[4] = {64, 5, 1, 64};
    opxiReconstructLumaIntra_AVS_16s8u_C1R(&c, g_mb, kStep, modes, n, 15, 30, 0);
}

template <int W, int H>
void interp_at(int p) {
    const OpxInterpolateBlock8u r{{g.src, nullptr}, kStep,  {g.dst, nullptr}, kStep,
                                  {64, 32},         {W, H}, {8, 8},           {p & 3, p >> 2}};
    opxiInterpolateLumaBlock_AVS_8u_P1R(&r);
}
template <int W, int H>
void interp_at_ref(int p) {
    opx::avs::ref::kInterp.luma[interp_index(W, p & 3, p >> 2)](g_block, kStep, g.dst, kStep, H);
}
// A 16×16 block 8 samples above and left of the picture's top-left corner.
void interp_edge(int p) {
    const OpxInterpolateBlock8u r{
        {g.src, nullptr}, kStep,    {g.dst, nullptr}, kStep,
        {64, 32},         {16, 16}, {0, 0},           {-32 + (p & 3), -32 + (p >> 2)}};
    opxiInterpolateLumaBlock_AVS_8u_P1R(&r);
}

const Opx8u kAlpha[2] = {40, 45}, kBeta[2] = {12, 14}, kC[2] = {3, 4};
const Opx8u kBs1[4] = {1, 1, 1, 1}, kBs2[4] = {2, 2, 2, 2};

void deblock(OpxResult (*fn)(const OpxDeblock8u*), const Opx8u* bs) {
    const OpxDeblock8u d{g_mb, kStep, kAlpha, kBeta, kC, bs};
    fn(&d);
}
void deblock_ref(DeblockEdges e, const Opx8u* bs) {
    opx::avs::ref::kDeblock.edges[e](g_mb, kStep, kAlpha, kBeta, kC, bs);
}

}  // namespace

OPX_BENCH_CASES(avs) {
    using opx::bench::add;
    using opx::bench::add_mean;
    add("opxiDecodeLuma/ChromaBlock_AVS_1u16s", "mix", decode_mix, nullptr);
    add(
        "opxiReconstructLumaInter_AVS_16s8u_C1R", "dc", [] { recon_one(1); },
        [] { portable([] { recon_one(1); }); });
    add(
        "opxiReconstructLumaInter_AVS_16s8u_C1R", "4x4", [] { recon_one(5); },
        [] { portable([] { recon_one(5); }); });
    add(
        "opxiReconstructLumaInter_AVS_16s8u_C1R", "full", [] { recon_one(64); },
        [] { portable([] { recon_one(64); }); });
    add("opxiReconstructLumaIntra_AVS_16s8u_C1R", "mb", recon_mb, [] { portable(recon_mb); });
    add_mean("opxiInterpolateLumaBlock_AVS_8u_P1R", "16x16", 16, interp_at<16, 16>,
             interp_at_ref<16, 16>);
    add_mean("opxiInterpolateLumaBlock_AVS_8u_P1R", "8x8", 16, interp_at<8, 8>,
             interp_at_ref<8, 8>);
    add_mean("opxiInterpolateLumaBlock_AVS_8u_P1R", "edge", 16, interp_edge,
             [](int p) { portable([p] { interp_edge(p); }); });
    add(
        "opxiWeightPrediction_AVS_8u_C1R", "16x16",
        [] {
            opxiWeightPrediction_AVS_8u_C1R(g.src, kStep, g.dst, kStep, 40, -3, {16, 16});
        },
        [] { opx::avs::ref::kInterp.weight(g.src, kStep, g.dst, kStep, 40, -3, 16, 16); });
    add(
        "opxiWeightPrediction_AVS_8u_C1R", "8x8",
        [] {
            opxiWeightPrediction_AVS_8u_C1R(g.src, kStep, g.dst, kStep, 40, -3, {8, 8});
        },
        [] { opx::avs::ref::kInterp.weight(g.src, kStep, g.dst, kStep, 40, -3, 8, 8); });
    struct D {
        const char* name;
        OpxResult (*fn)(const OpxDeblock8u*);
        DeblockEdges e;
    };
    static const D kD[] = {
        {"opxiFilterDeblockingLuma_VerEdge_AVS_8u_C1IR",
         opxiFilterDeblockingLuma_VerEdge_AVS_8u_C1IR, kLumaVer},
        {"opxiFilterDeblockingLuma_HorEdge_AVS_8u_C1IR",
         opxiFilterDeblockingLuma_HorEdge_AVS_8u_C1IR, kLumaHor},
        {"opxiFilterDeblockingChroma_VerEdge_AVS_8u_C1IR",
         opxiFilterDeblockingChroma_VerEdge_AVS_8u_C1IR, kChromaVer},
        {"opxiFilterDeblockingChroma_HorEdge_AVS_8u_C1IR",
         opxiFilterDeblockingChroma_HorEdge_AVS_8u_C1IR, kChromaHor},
    };
    for (const D& d : kD) {
        add(
            d.name, "bs1", [d] { deblock(d.fn, kBs1); }, [d] { deblock_ref(d.e, kBs1); });
        add(
            d.name, "bs2", [d] { deblock(d.fn, kBs2); }, [d] { deblock_ref(d.e, kBs2); });
    }
    add(
        "opxiTransformQuant8x8Fwd_AVS_16s_C1", "intra",
        [] {
            Opx32s n;
            opxiTransformQuant8x8Fwd_AVS_16s_C1(g.coeff, g.scratch, &n, 28, 1);
        },
        nullptr);
    add(
        "opxiDisassembleLumaIntra_AVS_16s8u_C1R", "mb",
        [] {
            Opx16s* c = g.scratch;
            Opx32u modes[4], cbp;
            opxiDisassembleLumaIntra_AVS_16s8u_C1R(g_block, kStep, g_mb, kStep, &c, modes, &cbp, 28,
                                                   0);
        },
        [] {
            portable([] {
                Opx16s* c = g.scratch;
                Opx32u modes[4], cbp;
                opxiDisassembleLumaIntra_AVS_16s8u_C1R(g_block, kStep, g_mb, kStep, &c, modes, &cbp,
                                                       28, 0);
            });
        });
}

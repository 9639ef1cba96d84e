// MPEG-1/2 block decoding, MPEG-2 quantisation, scans and zero count: exported functions against
// their portable kernels.
//
// Block decoders run over 1024 stream-like blocks written with the annex B tables (intra: about
// a dozen coefficients, inter: a handful, mostly short runs and levels ±1..±3, a few escapes),
// one block per call. The in-place quantisers work on the same block call after call: their
// kernels take the same time whatever the values (the portable forward ones a little less once
// the levels are small).
#include <cstdio>
#include <random>

#include "../tests/mpeg2/block_writer.hpp"
#include "bench.hpp"
#include "mpeg2/block.hpp"
#include "mpeg2/quant.hpp"
#include "opxvc.h"

namespace {

using namespace opx::test::mpeg2;

constexpr int kBlocks = 1024;

struct Stream {
    Tables tables;
    std::vector<Opx32u> words;
    std::vector<std::pair<int, int>> starts;  // (word, position) of each block
    Opx32s scan[64];
    Opx16s weights[64];
    Opx16s pred = 1024;
    std::size_t next = 0;
    alignas(64) Opx16s out[64];
    Opx32s size = 0;
};

// Runs and levels as an encoder at moderate rates leaves them.
std::vector<std::pair<int, int>> stream_like(std::mt19937& rng, bool intra) {
    std::geometric_distribution<int> count(intra ? 0.08 : 0.22), run(intra ? 0.6 : 0.4), mag(0.55);
    const int n = std::max(intra ? 0 : 1, count(rng));
    std::vector<std::pair<int, int>> v;
    int pos = intra ? 0 : -1;
    for (int i = 0; i < n; ++i) {
        const int r = std::min(run(rng), 62 - pos);
        if (r < 0) break;
        int m = 1 + mag(rng);
        if (rng() % 64 == 0) m = 40 + static_cast<int>(rng() % 300);  // an escape
        v.push_back({r, (rng() & 1) ? m : -m});
        pos += r + 1;
    }
    return v;
}

Stream& stream(int codec, bool intra) {
    static Stream s[2][2];
    Stream& st = s[codec][intra];
    if (!st.words.empty()) return st;
    std::mt19937 rng(4321 + codec * 2 + intra);
    for (int k = 0; k < 64; ++k) {
        st.scan[k] = opx::mpeg2::kScans[0][k];
        st.weights[k] = intra ? opx::mpeg2::kDefaultIntraMatrix[k] : 16;
    }
    const CodeMap later(mpeg2_b14), first(mpeg2_b14_first);
    const auto dc = value_codes(mpeg2_b12_dc_size_luma);
    auto coin = [&rng] { return (rng() & 1) != 0; };
    BitWriter w;
    for (int b = 0; b < kBlocks; ++b) {
        st.starts.push_back(
            {static_cast<int>(w.size() / 32), 31 - static_cast<int>(w.size() % 32)});
        if (intra) put_dc(w, dc, static_cast<int>(rng() % 61) - 30);
        put_pairs(w, stream_like(rng, intra), later, intra ? nullptr : &first, codec == 0,
                  Escape::kNever, coin);
        w.put(later.eob);
    }
    st.words = w.words(31, 4);
    return st;
}

template <int Codec, bool Intra, bool Exported>
void decode_one() {
    Stream& s = stream(Codec, Intra);
    const std::size_t i = s.next;
    s.next = (i + 1) % kBlocks;
    Opx32u* p = s.words.data() + s.starts[i].first;
    Opx32s pos = s.starts[i].second;
    const Opx32s* t0 = Intra ? s.tables.dc_luma : s.tables.b14_first;
    if constexpr (Exported) {
        if constexpr (Intra && Codec == opx::mpeg2::kMpeg1)
            opxiReconstructDCTBlockIntra_MPEG1_32s(&p, &pos, t0, s.tables.b14, s.scan, 8, s.weights,
                                                   &s.pred, s.out, &s.size);
        else if constexpr (Intra)
            opxiReconstructDCTBlockIntra_MPEG2_32s(&p, &pos, t0, s.tables.b14, s.scan, 8, s.weights,
                                                   &s.pred, 1, s.out, &s.size);
        else if constexpr (Codec == opx::mpeg2::kMpeg1)
            opxiReconstructDCTBlock_MPEG1_32s(&p, &pos, t0, s.tables.b14, s.scan, 8, s.weights,
                                              s.out, &s.size);
        else
            opxiReconstructDCTBlock_MPEG2_32s(&p, &pos, t0, s.tables.b14, s.scan, 8, s.weights,
                                              s.out, &s.size);
    } else {
        const opx::mpeg2::BlockArgs a{&p,
                                      &pos,
                                      Intra ? t0 : nullptr,
                                      Intra ? nullptr : t0,
                                      s.tables.b14,
                                      s.scan,
                                      8,
                                      s.weights,
                                      &s.pred,
                                      1,
                                      s.out,
                                      &s.size};
        opx::mpeg2::ref::kBlock.decode[Codec][Intra](a);
    }
}

struct alignas(64) Blocks {
    Opx16s block[64];
    Opx16s other[64];
    Opx16s weights[64];
    float inv[64];
    Opx32s count;
    Opx32u zeros;
} g;

struct Init {
    Init() {
        std::mt19937 rng(99);
        for (int i = 0; i < 64; ++i) {
            g.block[i] = static_cast<Opx16s>(static_cast<int>(rng() % 4001) - 2000);
            g.weights[i] = static_cast<Opx16s>(8 + rng() % 80);
            g.inv[i] = 1.0f / static_cast<float>(g.weights[i]);
        }
    }
} g_init;

// A block with `n` nonzero coefficients spread over the low frequencies.
void sparse(Opx16s* b, int n) {
    for (int i = 0; i < 64; ++i) b[i] = 0;
    for (int k = 0; k < n; ++k) b[opx::mpeg2::kScans[0][(k * 7) % 40]] = static_cast<Opx16s>(k + 1);
}

}  // namespace

OPX_BENCH_CASES(mpeg2) {
    using opx::bench::add;
    namespace r = opx::mpeg2::ref;
    using opx::mpeg2::kMpeg1;
    using opx::mpeg2::kMpeg2;

    add("opxiReconstructDCTBlockIntra_MPEG1_32s", "intra", decode_one<kMpeg1, true, true>,
        decode_one<kMpeg1, true, false>);
    add("opxiReconstructDCTBlock_MPEG1_32s", "inter", decode_one<kMpeg1, false, true>,
        decode_one<kMpeg1, false, false>);
    add("opxiReconstructDCTBlockIntra_MPEG2_32s", "intra", decode_one<kMpeg2, true, true>,
        decode_one<kMpeg2, true, false>);
    add("opxiReconstructDCTBlock_MPEG2_32s", "inter", decode_one<kMpeg2, false, true>,
        decode_one<kMpeg2, false, false>);

    add(
        "opxiQuantInv_MPEG2_16s_C1I", "table",
        [] { opxiQuantInv_MPEG2_16s_C1I(g.block, 12, g.weights); },
        [] { r::kQuant.inv_table(g.block, 12, g.weights); });
    add(
        "opxiQuantInv_MPEG2_16s_C1I", "flat",
        [] { opxiQuantInv_MPEG2_16s_C1I(g.block, 12, nullptr); },
        [] { r::kQuant.inv_flat(g.block, 12); });
    add(
        "opxiQuantInvIntra_MPEG2_16s_C1I", "table",
        [] { opxiQuantInvIntra_MPEG2_16s_C1I(g.block, 12, g.weights); },
        [] { r::kQuant.inv_intra(g.block, 12, g.weights); });
    add(
        "opxiQuant_MPEG2_16s_C1I", "table",
        [] { opxiQuant_MPEG2_16s_C1I(g.block, 12, g.inv, &g.count); },
        [] { g.count = r::kQuant.quant_table(g.block, 12, g.inv); });
    add(
        "opxiQuant_MPEG2_16s_C1I", "flat",
        [] { opxiQuant_MPEG2_16s_C1I(g.block, 12, nullptr, &g.count); },
        [] { g.count = r::kQuant.quant_flat(g.block, 12); });
    add(
        "opxiQuantIntra_MPEG2_16s_C1I", "table",
        [] { opxiQuantIntra_MPEG2_16s_C1I(g.block, 12, g.inv, &g.count); },
        [] { g.count = r::kQuant.quant_intra(g.block, 12, g.inv); });
    add(
        "opxiQuantIntra_MPEG2_16s_C1I", "default",
        [] { opxiQuantIntra_MPEG2_16s_C1I(g.block, 12, nullptr, &g.count); },
        [] { g.count = r::kQuant.quant_intra(g.block, 12, opx::mpeg2::kDefaultIntraInverse.v); });

    // Scans: "few" 6 nonzero values (the early-stop walk), "many" 40 (the full copy).
    static Opx16s few[64], many[64];
    sparse(few, 6);
    for (int i = 0; i < 64; ++i) many[i] = static_cast<Opx16s>(i % 3 ? i : 0);
    add(
        "opxiScanFwd_16s_C1", "few", [] { opxiScanFwd_16s_C1(few, g.other, 6, 0); },
        [] { r::kQuant.scan_fwd[0](few, g.other, 6); });
    add(
        "opxiScanFwd_16s_C1", "many", [] { opxiScanFwd_16s_C1(many, g.other, 42, 0); },
        [] { r::kQuant.scan_fwd[0](many, g.other, 42); });
    add(
        "opxiScanFwd_16s_C1", "altvert", [] { opxiScanFwd_16s_C1(many, g.other, 42, 1); },
        [] { r::kQuant.scan_fwd[1](many, g.other, 42); });
    add(
        "opxiScanInv_16s_C1", "last63", [] { opxiScanInv_16s_C1(many, g.other, 63, 0); },
        [] { r::kQuant.scan_inv[0](many, g.other, 63); });
    add(
        "opxiScanInv_16s_C1", "last10", [] { opxiScanInv_16s_C1(few, g.other, 10, 0); },
        [] { r::kQuant.scan_inv[0](few, g.other, 10); });
    add(
        "opxiCountZeros8x8_16s_C1", "8x8", [] { opxiCountZeros8x8_16s_C1(many, &g.zeros); },
        [] { g.zeros = r::kQuant.count_zeros(many); });
}

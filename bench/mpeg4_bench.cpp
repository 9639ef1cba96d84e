// MPEG-4 / H.263 / H.261 coefficient coding and quantisation.
//
// Quantisers: the exported function under the AVX2 tables and under the portable tables (the
// portable case selects the portable tables for its call and hands the choice back afterwards).
// Every call first restores its 64 input coefficients (a 128-byte copy, in both figures), since
// the functions work in place. Decoders and reconstructors (portable code only) decode the next
// block of a stream per call: "mix" streams hold blocks like those of real inter/intra
// macroblocks (a few coefficients, mostly small levels near the start of the scan), "escapes"
// blocks whose levels mostly need escape codes. Encoders write the next block of the same sets.
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench.hpp"
#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace {

using Block = std::array<Opx16s, 64>;

constexpr int kBlocks = 256;

// Realistic blocks: geometric counts and positions, levels mostly ±1..3.
std::vector<Block> make_blocks(std::uint32_t seed, bool escapes, int maxmag) {
    std::mt19937 rng(seed);
    std::geometric_distribution<int> count(escapes ? 0.25 : 0.3), gap(0.45), small(0.55);
    std::vector<Block> out(kBlocks);
    for (Block& b : out) {
        b.fill(0);
        const int n = 1 + count(rng) % 20;
        int pos = 0;
        for (int k = 0; k < n && pos < 64; ++k) {
            const int mag = escapes ? 20 + static_cast<int>(rng() % static_cast<unsigned>(maxmag - 20))
                                    : 1 + small(rng) % 12;
            b[static_cast<std::size_t>(pos)] = static_cast<Opx16s>(rng() & 1 ? -mag : mag);
            pos += 1 + gap(rng);
        }
    }
    return out;
}

int nonzero(const Block& b, int from = 0) {
    int n = 0;
    for (int i = from; i < 64; ++i) n += b[static_cast<std::size_t>(i)] != 0;
    return n;
}

// A stream of encoded blocks and a cursor walking through it.
struct Stream {
    std::vector<Opx8u> bytes = std::vector<Opx8u>(kBlocks * 300 + 64, 0);
    std::vector<std::pair<int, int>> starts;  // (byte, offset) of each block
    std::size_t next = 0;
    Opx16s out[64];
    Opx32s last = 0;
    template <class Enc>
    void build(const std::vector<Block>& blocks, Enc enc) {
        Opx8u* p = bytes.data();
        Opx32s off = 0;
        for (const Block& b : blocks) {
            starts.push_back({static_cast<int>(p - bytes.data()), off});
            enc(b.data(), &p, &off);
        }
    }
    // The cursor of the next block.
    std::pair<Opx8u*, Opx32s> cursor() {
        const auto [byte, off] = starts[next];
        next = next + 1 == starts.size() ? 0 : next + 1;
        return {bytes.data() + byte, off};
    }
};

struct Quant {
    alignas(32) Opx16s work[64];
    Block input, level_input;
    std::vector<unsigned char> fwd_matrix = std::vector<unsigned char>(412),
                               fwd_b10 = std::vector<unsigned char>(412),
                               inv_matrix = std::vector<unsigned char>(156);
    Opx32s count = 0;
    Quant() {
        std::mt19937 rng(5);
        for (auto& v : input) v = static_cast<Opx16s>(static_cast<int>(rng() % 1201) - 600);
        for (int i = 0; i < 64; ++i) level_input[i] = static_cast<Opx16s>(input[i] >> 4);
        Opx8u w[64];
        for (int i = 0; i < 64; ++i) w[i] = static_cast<Opx8u>(8 + (i * 5) % 60);
        opxiQuantInterInit_MPEG4(w, reinterpret_cast<OpxQuantInterStateMPEG4*>(fwd_matrix.data()), 8);
        opxiQuantIntraInit_MPEG4(w, reinterpret_cast<OpxQuantIntraStateMPEG4*>(fwd_b10.data()), 10);
        opxiQuantInvIntraInit_MPEG4(w, reinterpret_cast<OpxQuantInvIntraStateMPEG4*>(inv_matrix.data()), 8);
    }
    // A fresh copy of the DCT-like input, or (levels) of the input shifted to magnitudes up to 37.
    Opx16s* fresh(bool levels = false) {
        std::memcpy(work, levels ? level_input.data() : input.data(), sizeof work);
        return work;
    }
};

template <class F>
auto portable(F f) {
    return opx::bench::through_portable(f);
}

}  // namespace

OPX_BENCH_CASES(mpeg4) {
    using opx::bench::add;
    static Quant q;

    // ---- inverse quantisers (levels: the input shifted to level magnitudes up to 37)
    auto inv_h263 = [] { opxiQuantInvInter_H263_16s_C1I(q.fresh(true), 63, 12, 0); };
    add("opxiQuantInvInter_H263_16s_C1I", "h263", inv_h263, portable(inv_h263));
    auto inv_row0 = [] { opxiQuantInvInter_H263_16s_C1I(q.fresh(true), 5, 12, 0); };
    add("opxiQuantInvInter_H263_16s_C1I", "lastrow0", inv_row0, portable(inv_row0));
    auto inv_matrix = [] {
        opxiQuantInvIntra_MPEG4_16s_C1I(
            q.fresh(true), 63, reinterpret_cast<const OpxQuantInvIntraStateMPEG4*>(q.inv_matrix.data()), 12, 0);
    };
    add("opxiQuantInvIntra_MPEG4_16s_C1I", "matrix", inv_matrix, portable(inv_matrix));
    auto inv_matrix0 = [] {
        opxiQuantInvIntra_MPEG4_16s_C1I(
            q.fresh(true), 3, reinterpret_cast<const OpxQuantInvIntraStateMPEG4*>(q.inv_matrix.data()), 12, 0);
    };
    add("opxiQuantInvIntra_MPEG4_16s_C1I", "lastrow0", inv_matrix0, portable(inv_matrix0));

    // ---- forward quantisers
    auto fwd_h263 = [] { opxiQuantInter_H263_16s_C1I(q.fresh(), 12, &q.count, 0); };
    add("opxiQuantInter_H263_16s_C1I", "h263", fwd_h263, portable(fwd_h263));
    auto fwd_intra = [] { opxiQuantIntra_H263_16s_C1I(q.fresh(), 12, &q.count, 0, 0); };
    add("opxiQuantIntra_H263_16s_C1I", "h263", fwd_intra, portable(fwd_intra));
    auto fwd_matrix = [] {
        opxiQuantInter_MPEG4_16s_C1I(
            q.fresh(), reinterpret_cast<const OpxQuantInterStateMPEG4*>(q.fwd_matrix.data()), 12, &q.count);
    };
    add("opxiQuantInter_MPEG4_16s_C1I", "matrix", fwd_matrix, portable(fwd_matrix));
    auto fwd_b10 = [] {
        opxiQuantIntra_MPEG4_16s_C1I(
            q.fresh(), reinterpret_cast<const OpxQuantIntraStateMPEG4*>(q.fwd_b10.data()), 40, &q.count, 0);
    };
    add("opxiQuantIntra_MPEG4_16s_C1I", "b10", fwd_b10, portable(fwd_b10));

    // ---- decoders, reconstructors and encoders
    static const std::vector<Block> mix = make_blocks(11, false, 0);
    static const std::vector<Block> esc = make_blocks(12, true, 1500);
    static const std::vector<Block> esc127 = make_blocks(13, true, 127);
    static std::vector<unsigned char> inv_inter(156);
    opxiQuantInvInterInit_MPEG4(nullptr, reinterpret_cast<OpxQuantInvInterStateMPEG4*>(inv_inter.data()), 8);

    struct StreamCase {
        const char* label;
        const std::vector<Block>* blocks;
    };
    for (const StreamCase& sc : {StreamCase{"mix", &mix}, StreamCase{"escapes", &esc}}) {
        auto* m4 = new Stream;
        m4->build(*sc.blocks, [](const Opx16s* c, Opx8u** p, Opx32s* o) {
            opxiEncodeCoeffsInter_MPEG4_16s1u(c, p, o, nonzero(*reinterpret_cast<const Block*>(c)), 0, 0);
        });
        add("opxiDecodeCoeffsInter_MPEG4_1u16s", sc.label, [m4] {
            auto [p, off] = m4->cursor();
            opxiDecodeCoeffsInter_MPEG4_1u16s(&p, &off, m4->out, &m4->last, 0, 0);
        }, nullptr);
        add("opxiReconstructCoeffsInter_MPEG4_1u16s", sc.label, [m4] {
            auto [p, off] = m4->cursor();
            opxiReconstructCoeffsInter_MPEG4_1u16s(
                &p, &off, m4->out, &m4->last, 0, 0,
                reinterpret_cast<const OpxQuantInvInterStateMPEG4*>(inv_inter.data()), 8);
        }, nullptr);
        auto* rv = new Stream;
        rv->build(*sc.blocks, [](const Opx16s* c, Opx8u** p, Opx32s* o) {
            opxiEncodeCoeffsInter_MPEG4_16s1u(c, p, o, nonzero(*reinterpret_cast<const Block*>(c)), 1, 0);
        });
        add("opxiDecodeCoeffsInter_MPEG4_1u16s", std::string(sc.label) + "-rvlc", [rv] {
            auto [p, off] = rv->cursor();
            opxiDecodeCoeffsInter_MPEG4_1u16s(&p, &off, rv->out, &rv->last, 1, 0);
        }, nullptr);
        add("opxiEncodeCoeffsInter_MPEG4_16s1u", sc.label, [sc] {
            static std::vector<Opx8u> buf(512);
            static std::size_t i = 0;
            const Block& b = (*sc.blocks)[i];
            i = (i + 1) % sc.blocks->size();
            Opx8u* p = buf.data();
            Opx32s off = 3;
            opxiEncodeCoeffsInter_MPEG4_16s1u(b.data(), &p, &off, nonzero(b), 0, 0);
        }, nullptr);
    }
    {
        // Backward reversible decoding: block b's final bit is the bit before block b + 1.
        auto* rv = new Stream;
        rv->build(mix, [](const Opx16s* c, Opx8u** p, Opx32s* o) {
            opxiEncodeCoeffsInter_MPEG4_16s1u(c, p, o, nonzero(*reinterpret_cast<const Block*>(c)), 1, 0);
        });
        rv->starts.erase(rv->starts.begin(), rv->starts.begin() + 2);  // ends of blocks 1 .. n − 2
        add("opxiDecodeCoeffsInterRVLCBack_MPEG4_1u16s", "mix", [rv] {
            auto [p, off] = rv->cursor();
            if (off == 0) --p, off = 8;
            --off;
            opxiDecodeCoeffsInterRVLCBack_MPEG4_1u16s(&p, &off, rv->out, &rv->last);
        }, nullptr);
    }
    {
        auto* in = new Stream;
        in->build(mix, [](const Opx16s* c, Opx8u** p, Opx32s* o) {
            const int n = nonzero(*reinterpret_cast<const Block*>(c), 1);
            if (n) opxiEncodeCoeffsIntra_MPEG4_16s1u(c, p, o, n, 0, 1, 0);
            else opxiEncodeCoeffsIntra_MPEG4_16s1u(c, p, o, nonzero(*reinterpret_cast<const Block*>(c)), 0, 0, 0);
        });
        add("opxiDecodeCoeffsIntra_MPEG4_1u16s", "mix", [in] {
            auto [p, off] = in->cursor();
            opxiDecodeCoeffsIntra_MPEG4_1u16s(&p, &off, in->out, &in->last, 0, 1, 0);
        }, nullptr);
    }
    for (const StreamCase& sc : {StreamCase{"mix", &mix}, StreamCase{"escapes", &esc127}}) {
        auto* h3 = new Stream;
        h3->build(*sc.blocks, [](const Opx16s* c, Opx8u** p, Opx32s* o) {
            opxiEncodeCoeffsInter_H263_16s1u(c, p, o, nonzero(*reinterpret_cast<const Block*>(c)), 0, 0);
        });
        add("opxiDecodeCoeffsInter_H263_1u16s", sc.label, [h3] {
            auto [p, off] = h3->cursor();
            opxiDecodeCoeffsInter_H263_1u16s(&p, &off, h3->out, &h3->last, 0, 0);
        }, nullptr);
        add("opxiReconstructCoeffsInter_H263_1u16s", sc.label, [h3] {
            auto [p, off] = h3->cursor();
            opxiReconstructCoeffsInter_H263_1u16s(&p, &off, h3->out, &h3->last, 8, 0);
        }, nullptr);
        auto* h1 = new Stream;
        h1->build(*sc.blocks, [](const Opx16s* c, Opx8u** p, Opx32s* o) {
            opxiEncodeCoeffsInter_H261_16s1u(c, p, o, nonzero(*reinterpret_cast<const Block*>(c)), 0);
        });
        add("opxiDecodeCoeffsInter_H261_1u16s", sc.label, [h1] {
            auto [p, off] = h1->cursor();
            opxiDecodeCoeffsInter_H261_1u16s(&p, &off, h1->out, &h1->last, 0);
        }, nullptr);
        add("opxiReconstructCoeffsInter_H261_1u16s", sc.label, [h1] {
            auto [p, off] = h1->cursor();
            opxiReconstructCoeffsInter_H261_1u16s(&p, &off, h1->out, &h1->last, 8);
        }, nullptr);
        add("opxiEncodeCoeffsInter_H263_16s1u", sc.label, [sc] {
            static std::vector<Opx8u> buf(512);
            static std::size_t i = 0;
            const Block& b = (*sc.blocks)[i];
            i = (i + 1) % sc.blocks->size();
            Opx8u* p = buf.data();
            Opx32s off = 5;
            opxiEncodeCoeffsInter_H263_16s1u(b.data(), &p, &off, nonzero(b), 0, 0);
        }, nullptr);
    }
}

// Any number of threads may call the library at once on distinct buffers: four threads run
// sixteen functions of different families, each call on buffers of its own, and every result must
// equal that of the same call made alone. Built against the shared library as a user links it;
// CI also runs it built with ThreadSanitizer, which must report nothing.
//   opxvc_concurrency [ROUNDS]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "opxvc.h"
#include "opxvc_h264_cavlc_codes.h"

namespace {

// A small deterministic generator per call, so that a call's inputs depend on its seed alone.
struct Gen {
    uint64_t s;
    explicit Gen(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return uint32_t(s >> 11);
    }
    void fill(Opx8u* p, size_t n) {
        for (size_t i = 0; i < n; ++i) p[i] = Opx8u(next());
    }
};

// The result of one call: its return code and every byte it may have written, as one string.
struct Out {
    std::string bytes;
    void add(const void* p, size_t n) { bytes.append(static_cast<const char*>(p), n); }
    void add(OpxResult r) { add(&r, sizeof r); }
    template <class T>
    void add_all(const std::vector<T>& v) {
        add(v.data(), v.size() * sizeof(T));
    }
    template <class T>
    void add_all(const T& v) {
        add(&v, sizeof v);
    }
};
// A call's code, then the buffers and values it wrote.
template <class... T>
Out out(OpxResult r, const T&... written) {
    Out o;
    o.add(r);
    (o.add_all(written), ...);
    return o;
}

// Tables built once, before any thread starts, and only read afterwards.
struct CavlcTables {
    Opx32s* token[3] = {};
    Opx32s* zeros[16] = {};
    Opx32s* runs[16] = {};
    bool build() {
        for (int i = 0; i < 3; ++i)
            if (opxiHuffmanTableInitAlloc_32s(cavlc_coeff_token_lists[i], &token[i]) != opxOk)
                return false;
        for (int i = 1; i < 16; ++i)
            if (opxiHuffmanTableInitAlloc_32s(cavlc_total_zeros_4x4_lists[i], &zeros[i]) != opxOk)
                return false;
        for (int i = 1; i <= 7; ++i)
            if (opxiHuffmanTableInitAlloc_32s(cavlc_run_before_lists[i], &runs[i]) != opxOk)
                return false;
        for (int i = 8; i < 16; ++i) runs[i] = runs[7];
        return true;
    }
    ~CavlcTables() {
        for (Opx32s* t : token)
            if (t) opxiHuffmanTableFree_32s(t);
        for (Opx32s* t : zeros)
            if (t) opxiHuffmanTableFree_32s(t);
        for (int i = 1; i <= 7; ++i)
            if (runs[i]) opxiHuffmanTableFree_32s(runs[i]);
    }
};
CavlcTables g_cavlc;

using Job = std::function<Out(uint64_t seed)>;

std::vector<std::pair<const char*, Job>> jobs() {
    std::vector<std::pair<const char*, Job>> j;
    j.push_back({"SAD16x16", [](uint64_t seed) {
                     Gen g(seed);
                     Opx8u a[17 * 24], b[17 * 24];  // the half-sample positions read a 17x17 reference
                     g.fill(a, sizeof a);
                     g.fill(b, sizeof b);
                     Opx32s sad = 0;
                     return out(opxiSAD16x16_8u32s(a, 24, b, 24, &sad, int(seed % 4) * 4), sad);
                 }});
    j.push_back({"SATD16x16", [](uint64_t seed) {
                     Gen g(seed);
                     Opx8u a[16 * 16], b[16 * 16];
                     g.fill(a, sizeof a);
                     g.fill(b, sizeof b);
                     Opx32s v = 0;
                     return out(opxiSATD16x16_8u32s_C1R(a, 16, b, 16, &v), v);
                 }});
    j.push_back({"SSD8x8", [](uint64_t seed) {
                     Gen g(seed);
                     Opx8u a[8 * 9], b[9 * 9];
                     g.fill(a, sizeof a);
                     g.fill(b, sizeof b);
                     Opx32s v = 0;
                     return out(opxiSSD8x8_8u32s_C1R(a, 8, b, 9, &v, 0), v);
                 }});
    j.push_back({"InterpolateLuma", [](uint64_t seed) {
                     Gen g(seed);
                     std::vector<Opx8u> src(32 * 32), dst(16 * 16);
                     g.fill(src.data(), src.size());
                     return out(opxiInterpolateLuma_H264_8u_C1R(
                                    src.data() + 3 * 32 + 3, 32, dst.data(), 16, int(seed % 4),
                                    int(seed / 4 % 4), OpxRoiSize{16, 16}),
                                dst);
                 }});
    j.push_back({"InterpolateChroma", [](uint64_t seed) {
                     Gen g(seed);
                     std::vector<Opx8u> src(16 * 16), dst(8 * 8);
                     g.fill(src.data(), src.size());
                     return out(opxiInterpolateChroma_H264_8u_C1R(src.data(), 16, dst.data(), 8,
                                                                  int(seed % 8), int(seed / 8 % 8),
                                                                  OpxRoiSize{8, 8}),
                                dst);
                 }});
    j.push_back({"UniDirWeight", [](uint64_t seed) {
                     Gen g(seed);
                     Opx8u blk[16 * 16];
                     g.fill(blk, sizeof blk);
                     return out(opxiUniDirWeightBlock_H264_8u_C1R(
                                    blk, 16, 5, int(g.next() % 128) - 64, int(g.next() % 64) - 32,
                                    OpxRoiSize{16, 16}),
                                blk);
                 }});
    j.push_back({"DeblockLumaVer", [](uint64_t seed) {
                     Gen g(seed);
                     Opx8u pic[16 * 20];
                     for (int i = 0; i < 16 * 20; ++i) pic[i] = Opx8u(100 + g.next() % 24);
                     const Opx8u alpha[2] = {40, 40}, beta[2] = {10, 10};
                     Opx8u tc0[16], bs[16];
                     for (int i = 0; i < 16; ++i) {
                         tc0[i] = Opx8u(g.next() % 8);
                         bs[i] = Opx8u(g.next() % 5);
                     }
                     return out(opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR(pic + 4, 20, alpha,
                                                                              beta, tc0, bs),
                                pic);
                 }});
    j.push_back({"Transform8x8AddPred", [](uint64_t seed) {
                     Gen g(seed);
                     Opx8u pred[64], dst[64];
                     Opx16s coeff[64];
                     g.fill(pred, sizeof pred);
                     for (Opx16s& c : coeff) c = Opx16s(int(g.next() % 512) - 256);
                     return out(
                         opxiTransformLuma8x8InvAddPred_H264_16s8u_C1R(pred, 8, coeff, dst, 8),
                         dst);
                 }});
    j.push_back({"DequantLumaDC", [](uint64_t seed) {
                     Gen g(seed);
                     Opx16s dc[16];
                     for (Opx16s& c : dc) c = Opx16s(int(g.next() % 200) - 100);
                     return out(opxiTransformDequantLumaDC_H264_16s_C1I(dc, int(g.next() % 52)),
                                dc);
                 }});
    j.push_back({"PredictIntra16x16", [](uint64_t seed) {
                     Gen g(seed);
                     Opx8u pic[17 * 17];
                     g.fill(pic, sizeof pic);
                     return out(
                         opxiPredictIntra_16x16_H264_8u_C1IR(pic + 18, 17, int(seed % 4), 0xFF),
                         pic);
                 }});
    j.push_back({"CavlcDecode", [](uint64_t seed) {
                     Gen g(seed);
                     Opx32u words[64];
                     for (Opx32u& w : words) w = g.next() | (g.next() << 21);
                     static const Opx32s kScan[16] = {0, 1, 4,  8,  5, 2,  3,  6,
                                                      9, 12, 13, 10, 7, 11, 14, 15};
                     Opx16s coeffs[16 * 8] = {};
                     Opx16s* dst = coeffs;
                     Opx32u* p = words;
                     Opx32s offset = 31;
                     Opx16s num = 0;
                     Out o;
                     for (int k = 0; k < 8; ++k) {
                         OpxResult r = opxiDecodeCAVLCCoeffs_H264_1u16s(
                             &p, &offset, &num, &dst, int(g.next() % 8), 16,
                             const_cast<const Opx32s**>(g_cavlc.token),
                             const_cast<const Opx32s**>(g_cavlc.zeros),
                             const_cast<const Opx32s**>(g_cavlc.runs), kScan);
                         o.add(r);
                         o.add(&num, sizeof num);
                         if (r != opxOk) break;
                     }
                     const long used = p - words;
                     o.add(&used, sizeof used);
                     o.add(&offset, sizeof offset);
                     o.add(coeffs, sizeof coeffs);
                     return o;
                 }});
    j.push_back({"ExpGolomb", [](uint64_t seed) {
                     Gen g(seed);
                     Opx32u words[8];
                     for (Opx32u& w : words) w = g.next() | 0x00010001u;
                     Opx32u* p = words;
                     Opx32s offset = 31;
                     Opx16s v[4] = {};
                     Out o;
                     for (Opx16s& x : v) o.add(opxiDecodeExpGolombOne_H264_1u16s(&p, &offset, &x, 1));
                     o.add(v, sizeof v);
                     return o;
                 }});
    j.push_back({"QuantInvMPEG2", [](uint64_t seed) {
                     Gen g(seed);
                     Opx16s blk[64], w[64];
                     for (int i = 0; i < 64; ++i) {
                         blk[i] = Opx16s(int(g.next() % 4096) - 2048);
                         w[i] = Opx16s(1 + g.next() % 255);
                     }
                     return out(opxiQuantInv_MPEG2_16s_C1I(blk, int(1 + g.next() % 112), w), blk);
                 }});
    j.push_back({"TransformInvVC1", [](uint64_t seed) {
                     Gen g(seed);
                     Opx16s src[64], dst[64];
                     for (Opx16s& c : src) c = Opx16s(int(g.next() % 512) - 256);
                     return out(opxiTransform8x8Inv_VC1_16s_C1R(src, 16, dst, 16, OpxRoiSize{8, 8}),
                                dst);
                 }});
    j.push_back({"QuantInvDV", [](uint64_t seed) {
                     Gen g(seed);
                     Opx16s blk[64], table[64];
                     for (int i = 0; i < 64; ++i) {
                         blk[i] = Opx16s(g.next());
                         table[i] = Opx16s(g.next());
                     }
                     return out(opxiQuantInv_DV_16s_C1I(blk, table), blk);
                 }});
    j.push_back({"DeinterlaceMedian", [](uint64_t seed) {
                     Gen g(seed);
                     Opx8u src[40 * 8], dst[40 * 8];
                     g.fill(src, sizeof src);
                     return out(opxiDeinterlaceMedianThreshold_8u_C1R(
                                    src, 40, dst, 40, OpxRoiSize{40, 8}, int(g.next() % 40),
                                    int(seed & 1), 1),
                                dst);
                 }});
    return j;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    if (!g_cavlc.build()) {
        std::fprintf(stderr, "cannot build the CAVLC tables\n");
        return 1;
    }
    const auto list = jobs();
    constexpr int kThreads = 4;
    // Expected results, one thread.
    std::vector<std::vector<Out>> expected(list.size());
    for (size_t j = 0; j < list.size(); ++j)
        for (int r = 0; r < rounds; ++r) expected[j].push_back(list[j].second(uint64_t(r) + 1));
    // Four threads, each walking every job over every seed in its own order.
    std::vector<long> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int r = 0; r < rounds; ++r) {
                const int seed = (r * (2 * t + 1) + t * 37) % rounds;
                for (size_t j = 0; j < list.size(); ++j) {
                    const size_t k = (j + size_t(t)) % list.size();
                    if (list[k].second(uint64_t(seed) + 1).bytes != expected[k][seed].bytes)
                        ++mismatches[t];
                }
            }
        });
    for (std::thread& th : threads) th.join();
    long bad = 0;
    for (long m : mismatches) bad += m;
    const long calls = long(kThreads) * rounds * long(list.size());
    std::printf("%zu functions, %d threads, %ld calls: %ld results differ from the one-thread run\n",
                list.size(), kThreads, calls, bad);
    std::printf("%ld passed, %ld failed\n", calls - bad, bad);
    return bad ? 1 : 0;
}

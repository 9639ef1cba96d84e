// opxvc-bench [--filter REGEX] [--csv] [--list] [--strict] [--repeat N]
//
// Prints, per exported function and case, TSC ticks per call of the exported function and of
// its portable path, and the speed-up. --strict fences the counter reads on both sides. The
// selected cases first run once untimed (warm-up: caches, branch predictors, clock), then
// --repeat N passes (default 1) time them all, and each case reports its best pass: single
// passes of a few hundredths of a second move by tens of per cent from run to run.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>

#include "bench.hpp"

namespace opx::bench {

std::vector<Case>& registry() {
    static std::vector<Case> r;
    return r;
}

bool& strict_timer() {
    static bool strict = false;
    return strict;
}

double timer_overhead() {
    static double overhead[2] = {-1, -1};
    double& o = overhead[strict_timer()];
    if (o < 0) {
        auto nothing = [] {};
        double best = 1e30;
        for (int i = 0; i < 8; ++i) {
            const double t = strict_timer() ? measure_raw<true>(nothing, kSamples)
                                            : measure_raw<false>(nothing, kSamples);
            if (t < best) best = t;
        }
        o = best;
    }
    return o;
}

}  // namespace opx::bench

int main(int argc, char** argv) {
    std::string filter = ".*";
    bool csv = false, list = false;
    long repeat = 1;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--filter") && i + 1 < argc) {
            filter = argv[++i];
        } else if (!std::strcmp(argv[i], "--csv")) {
            csv = true;
        } else if (!std::strcmp(argv[i], "--list")) {
            list = true;
        } else if (!std::strcmp(argv[i], "--strict")) {
            opx::bench::strict_timer() = true;
        } else if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc) {
            char* end = nullptr;
            repeat = std::strtol(argv[++i], &end, 10);
            if (*end || repeat < 1 || repeat > 1000) {
                std::fprintf(stderr, "%s: --repeat needs a number from 1 to 1000\n", argv[0]);
                return 2;
            }
        } else {
            std::fprintf(stderr,
                         "usage: %s [--filter REGEX] [--csv] [--list] [--strict] [--repeat N]\n",
                         argv[0]);
            return 2;
        }
    }
    const std::regex re(filter);
    std::vector<const opx::bench::Case*> cases;
    for (const auto& c : opx::bench::registry())
        if (std::regex_search(c.function + " " + c.label, re)) cases.push_back(&c);
    if (list) {
        for (const auto* c : cases) std::printf("%s %s\n", c->function.c_str(), c->label.c_str());
        return 0;
    }
    for (const auto* c : cases) {  // warm-up, figures dropped
        c->fast();
        if (c->portable) c->portable();
    }
    std::vector<double> best(cases.size(), 1e30), best_portable(cases.size(), 1e30);
    for (long pass = 0; pass < repeat; ++pass)
        for (size_t i = 0; i < cases.size(); ++i) {
            best[i] = std::min(best[i], cases[i]->fast());
            if (cases[i]->portable) best_portable[i] = std::min(best_portable[i], cases[i]->portable());
        }
    if (csv) std::printf("function,case,ticks,portable_ticks\n");
    else
        std::printf("%-52s %-14s %10s %10s %8s\n", "function", "case", "ticks", "portable",
                    "speed-up");
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& c = *cases[i];
        const double t = best[i];
        if (!c.portable) {  // a case without a portable twin (the peer figures)
            if (csv)
                std::printf("%s,%s,%.1f,\n", c.function.c_str(), c.label.c_str(), t);
            else
                std::printf("%-52s %-14s %10.1f %10s %8s\n", c.function.c_str(), c.label.c_str(),
                            t, "-", "-");
            continue;
        }
        const double p = best_portable[i];
        if (csv) {
            std::printf("%s,%s,%.1f,%.1f\n", c.function.c_str(), c.label.c_str(), t, p);
        } else {
            std::printf("%-52s %-14s %10.1f %10.1f %7.2fx\n", c.function.c_str(),
                        c.label.c_str(), t, p, (p > 0 && t > 0) ? p / t : 0.0);
        }
    }
    return 0;
}

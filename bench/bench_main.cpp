// opxvc-bench [--filter REGEX] [--csv] [--list] [--strict]
//
// Prints, per exported function and case, TSC ticks per call of the exported function and of
// its portable path, and the speed-up. --strict fences the counter reads on both sides.
#include <cstdio>
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
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--filter") && i + 1 < argc) {
            filter = argv[++i];
        } else if (!std::strcmp(argv[i], "--csv")) {
            csv = true;
        } else if (!std::strcmp(argv[i], "--list")) {
            list = true;
        } else if (!std::strcmp(argv[i], "--strict")) {
            opx::bench::strict_timer() = true;
        } else {
            std::fprintf(stderr, "usage: %s [--filter REGEX] [--csv] [--list] [--strict]\n",
                         argv[0]);
            return 2;
        }
    }
    const std::regex re(filter);
    if (csv) std::printf("function,case,ticks,portable_ticks\n");
    else if (!list)
        std::printf("%-52s %-14s %10s %10s %8s\n", "function", "case", "ticks", "portable",
                    "speed-up");
    for (const auto& c : opx::bench::registry()) {
        if (!std::regex_search(c.function + " " + c.label, re)) continue;
        if (list) {
            std::printf("%s %s\n", c.function.c_str(), c.label.c_str());
            continue;
        }
        const double t = c.fast();
        if (!c.portable) {  // a case without a portable twin (the peer figures)
            if (csv)
                std::printf("%s,%s,%.1f,\n", c.function.c_str(), c.label.c_str(), t);
            else
                std::printf("%-52s %-14s %10.1f %10s %8s\n", c.function.c_str(), c.label.c_str(),
                            t, "-", "-");
            std::fflush(stdout);
            continue;
        }
        const double p = c.portable();
        if (csv) {
            std::printf("%s,%s,%.1f,%.1f\n", c.function.c_str(), c.label.c_str(), t, p);
        } else {
            std::printf("%-52s %-14s %10.1f %10.1f %7.2fx\n", c.function.c_str(),
                        c.label.c_str(), t, p, (p > 0 && t > 0) ? p / t : 0.0);
        }
        std::fflush(stdout);
    }
    return 0;
}

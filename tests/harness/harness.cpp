#include "harness/harness.hpp"

#include "frame/dispatch.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace opx::test {

std::uint64_t test_seed() {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a of the test's full name
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "";
    for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
    if (const char* env = std::getenv("OPXVC_TEST_SEED"))
        h ^= std::strtoull(env, nullptr, 0) * 0x9E3779B97F4A7C15ull;
    return h;
}

Rng::Rng() : Rng(test_seed()) {
    seed_ = test_seed();
    trace_ = std::make_unique<testing::ScopedTrace>(
        __FILE__, __LINE__,
        "seed " + std::to_string(seed_) + " (set OPXVC_TEST_SEED to vary the inputs)");
}

const char* pattern_name(Pattern p) {
    switch (p) {
        case Pattern::kRandom: return "random";
        case Pattern::kZeros: return "zeros";
        case Pattern::kMax: return "max";
        case Pattern::kComplementary: return "complementary";
        case Pattern::kChecker: return "checker";
        case Pattern::kRamp: return "ramp";
    }
    return "?";
}

std::int64_t pattern_value(Pattern p, int x, int y, std::int64_t lo, std::int64_t hi, Rng& rng,
                           bool second) {
    switch (p) {
        case Pattern::kRandom: return rng.uniform(lo, hi);
        case Pattern::kZeros: return lo <= 0 && hi >= 0 ? 0 : lo;
        case Pattern::kMax: return hi;
        case Pattern::kComplementary: return second ? hi : lo;
        case Pattern::kChecker: return ((x + y) & 1) ? hi : lo;
        case Pattern::kRamp: return lo + (static_cast<std::int64_t>(x * 7 + y * 13) % (hi - lo + 1));
    }
    return 0;
}

template <class T>
bool Plane<T>::canaries_intact() const {
    const char* lo = reinterpret_cast<const char*>(storage_.data());
    const char* hi = lo + storage_.size();
    const char* region = reinterpret_cast<const char*>(origin_);
    for (const char* c = lo; c < hi; ++c) {
        const std::ptrdiff_t off = c - region;
        // Inside the region?
        std::ptrdiff_t y = off >= 0 ? off / step_ : -1;
        std::ptrdiff_t x = off >= 0 ? off % step_ : -1;
        const bool inside = off >= 0 && y < height_ && x < static_cast<std::ptrdiff_t>(width_ * sizeof(T));
        if (!inside && static_cast<unsigned char>(*c) != kCanary) return false;
    }
    return true;
}

template class Plane<Opx8u>;
template class Plane<Opx8s>;
template class Plane<Opx16s>;
template class Plane<Opx16u>;
template class Plane<Opx32s>;
template class Plane<Opx32u>;

GuardedBuffer::GuardedBuffer(std::size_t bytes) : bytes_(bytes) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t body = (bytes + page - 1) / page * page;
    map_bytes_ = body + 2 * page;
    void* m = mmap(nullptr, map_bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) {
        map_ = nullptr;
        return;
    }
    map_ = static_cast<unsigned char*>(m);
    mprotect(map_, page, PROT_NONE);
    mprotect(map_ + page + body, page, PROT_NONE);
    // whole pages, so that both ends meet a guard page (a region placed at the front catches a
    // read before it as a region at the back catches one after it)
    bytes_ = bytes = body;
    begin_ = map_ + page;
    std::memset(begin_, 0, bytes);
}

GuardedBuffer::~GuardedBuffer() {
    if (map_) munmap(map_, map_bytes_);
}

unsigned char* GuardedBuffer::place(std::ptrdiff_t width_bytes, int height, std::ptrdiff_t step,
                                    bool at_front) {
    // Lowest and highest byte offsets touched, relative to row 0.
    const std::ptrdiff_t last_row = static_cast<std::ptrdiff_t>(height - 1) * step;
    const std::ptrdiff_t lo = std::min<std::ptrdiff_t>(0, last_row);
    const std::ptrdiff_t hi = std::max<std::ptrdiff_t>(0, last_row) + width_bytes;
    if (hi - lo > static_cast<std::ptrdiff_t>(bytes_)) return nullptr;
    return at_front ? begin_ - lo : end() - hi;
}

namespace {
constexpr std::size_t kSlot = 64 * 1024;
constexpr int kSlots = 16;
constexpr unsigned char scratch_byte(std::size_t i) {
    return static_cast<unsigned char>((i * 131u + 0x5A) ^ (i >> 8));
}
}  // namespace

Scratch::Scratch() : zone_(kSlot * (kSlots + 2)) {
    base_ = zone_.data() + kSlot;
    reset();
}

unsigned char* Scratch::bytes(int slot) {
    return base_ + kSlot * static_cast<std::size_t>(slot) + kSlot / 2;
}

void Scratch::reset() {
    for (std::size_t i = 0; i < zone_.size(); ++i) zone_[i] = scratch_byte(i);
    snapshot_ = zone_;
}

bool Scratch::unchanged() const { return zone_ == snapshot_; }

namespace {
std::vector<NullCase>& registry() {
    static std::vector<NullCase> r;
    return r;
}
}  // namespace

bool register_null_case(const char* function_name, NullCaseFn fn) {
    registry().push_back({function_name, fn});
    return true;
}

const std::vector<NullCase>& null_cases() { return registry(); }

void expect_arg_cases(const std::vector<ArgCase>& cases) {
    Scratch s;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ArgCase& c = cases[i];
        SCOPED_TRACE(testing::Message()
                     << "row " << i << ", line " << c.line << ": " << c.call_text);
        s.reset();
        EXPECT_EQ(c.call(s), c.want);
        if (c.want != opxOk) {
            EXPECT_TRUE(s.unchanged()) << "written despite the result code";
        }
    }
}

}  // namespace opx::test

namespace {

// OPXVC_TEST_KERNELS=portable runs the whole suite with the portable tables serving the exported
// names (the differential tests name both tables themselves and are unchanged).
class KernelChoice : public testing::Environment {
  public:
    void SetUp() override {
        const char* env = std::getenv("OPXVC_TEST_KERNELS");
        if (env && std::string(env) == "portable") opx::cpu::force_isa(opx::cpu::kIsaPortable);
    }
};
[[maybe_unused]] testing::Environment* const kKernelChoice =
    testing::AddGlobalTestEnvironment(new KernelChoice);

}  // namespace

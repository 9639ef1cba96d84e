// The decoder's inverse DCT interface. The built-in transform is the IEEE 1180-accurate one of
// the MPEG-1/2 example (examples/m2vdec/idct.cpp, compiled into this program); a plugin is a
// shared object exporting
//   void* opxvc_m4vdec_idct_create(const char* algo);   // null: unknown algorithm
//   void  opxvc_m4vdec_idct_run(void* h, short block[64]); // in place, raster order, unclamped
//   void  opxvc_m4vdec_idct_destroy(void* h);
#include <dlfcn.h>

#include <cstring>

#include "m2vdec.hpp"
#include "m4vdec.hpp"

namespace m4vdec {

namespace {

inline int clamp(int v, int lo, int hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

class BuiltinIdct : public Idct {
  public:
    void put(const Opx16s in[64], uint8_t* out, int stride) override {
        m2vdec::idct8x8_samples(in, out, stride);
    }
    void residual(const Opx16s in[64], Opx16s out[64]) override {
        m2vdec::idct8x8_residual(in, out, 8);
    }
};

class PluginIdct : public Idct {
  public:
    using Create = void* (*)(const char*);
    using Run = void (*)(void*, short*);
    using Destroy = void (*)(void*);
    void* lib = nullptr;
    void* handle = nullptr;
    Run run = nullptr;
    Destroy destroy = nullptr;
    ~PluginIdct() override {
        if (handle && destroy) destroy(handle);
        if (lib) dlclose(lib);
    }
    void put(const Opx16s in[64], uint8_t* out, int stride) override {
        short b[64];
        std::memcpy(b, in, sizeof b);
        run(handle, b);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) out[y * stride + x] = uint8_t(clamp(b[y * 8 + x], 0, 255));
    }
    void residual(const Opx16s in[64], Opx16s out[64]) override {
        short b[64];
        std::memcpy(b, in, sizeof b);
        run(handle, b);
        for (int i = 0; i < 64; ++i) out[i] = Opx16s(clamp(b[i], -256, 255));
    }
};

}  // namespace

std::unique_ptr<Idct> builtin_idct() {
    return std::unique_ptr<Idct>(new BuiltinIdct);
}

std::unique_ptr<Idct> plugin_idct(const std::string& file_algo, std::string& why) {
    const size_t colon = file_algo.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == file_algo.size()) {
        why = "--idct-plugin takes FILE:ALGO";
        return nullptr;
    }
    const std::string file = file_algo.substr(0, colon), algo = file_algo.substr(colon + 1);
    std::unique_ptr<PluginIdct> p(new PluginIdct);
    p->lib = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!p->lib) {
        const char* e = dlerror();
        why = e ? e : "cannot load " + file;
        return nullptr;
    }
    auto create = reinterpret_cast<PluginIdct::Create>(dlsym(p->lib, "opxvc_m4vdec_idct_create"));
    p->run = reinterpret_cast<PluginIdct::Run>(dlsym(p->lib, "opxvc_m4vdec_idct_run"));
    p->destroy = reinterpret_cast<PluginIdct::Destroy>(dlsym(p->lib, "opxvc_m4vdec_idct_destroy"));
    if (!create || !p->run || !p->destroy) {
        why = file + " is not an IDCT plugin";
        return nullptr;
    }
    p->handle = create(algo.c_str());
    if (!p->handle) {
        why = file + " has no IDCT \"" + algo + "\"";
        return nullptr;
    }
    return std::unique_ptr<Idct>(p.release());
}

}  // namespace m4vdec

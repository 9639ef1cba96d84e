#include "cli.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "opxvc.h"

namespace opxcli {

bool parse_long(const std::string& text, long lo, long hi, long* value) {
    if (text.empty() || text.size() > 18) return false;
    size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size()) return false;
    for (size_t k = i; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9') return false;
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < lo || v > hi) return false;
    *value = v;
    return true;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

bool has_suffix(const std::string& name, const std::string& suffix) {
    return name.size() >= suffix.size() &&
           lower(name.substr(name.size() - suffix.size())) == lower(suffix);
}

void message(const std::string& program, const char* fmt, ...) {
    std::fprintf(stderr, "%s: ", program.c_str());
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
    std::fputc('\n', stderr);
}

bool read_input(const std::string& path, std::vector<uint8_t>& data, std::string& why) {
    data.clear();
    const bool in = path == "-";
    FILE* f = in ? stdin : std::fopen(path.c_str(), "rb");
    if (!f) {
        why = std::strerror(errno);
        return false;
    }
    // Files and pipes are read by streaming; the size a seek reports is never trusted (it is
    // meaningless for a directory or a device).
    struct stat st {};
    if (fstat(fileno(f), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode) &&
        !S_ISCHR(st.st_mode) && !S_ISSOCK(st.st_mode)) {
        if (!in) std::fclose(f);
        why = S_ISDIR(st.st_mode) ? "is a directory" : "not a file or a pipe";
        return false;
    }
    // A regular file's size is a capacity hint only (the loop reads whatever is there): one
    // allocation instead of a growing vector's copies.
    if (S_ISREG(st.st_mode) && st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
    static uint8_t buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
    const bool failed = std::ferror(f);
    if (failed) why = std::strerror(errno ? errno : EIO);
    if (!in) std::fclose(f);
    return !failed;
}

CommandLine::CommandLine(std::string program, std::string summary, std::string input_help,
                         bool with_output)
    : program_(std::move(program)), summary_(std::move(summary)),
      input_help_(std::move(input_help)) {
    if (with_output) {
        add({"output", 'o', "FILE",
             "write the frames to FILE: YUV4MPEG2 when FILE ends in .y4m (any case) or is - "
             "(standard output), raw planar otherwise",
             [this](const std::string& v, std::string& why) {
                 if (v.empty()) return why = "empty output name", false;
                 common_.output = v;
                 return true;
             },
             nullptr});
        add({"format", 0, "raw|y4m", "output format, whatever the name of the output",
             [this](const std::string& v, std::string& why) {
                 const std::string f = lower(v);
                 if (f != "raw" && f != "y4m") return why = "unknown format '" + v + "'", false;
                 common_.format = f;
                 return true;
             },
             nullptr});
    }
    add({"frames", 0, "N", "stop after N frames (N >= 1)",
         [this](const std::string& v, std::string& why) {
             if (!parse_long(v, 1, 1L << 40, &common_.max_frames))
                 return why = "--frames needs a whole number of at least 1, not '" + v + "'",
                        false;
             return true;
         },
         nullptr});
    add({"md5", 0, "", "print '<frame number> <md5>' per frame in display order", nullptr,
         [this] { common_.md5 = true; }});
    add({"time", 0, "", "print the frame count and the speed when done", nullptr,
         [this] { common_.time = true; }});
    add({"quiet", 'q', "", "no progress line and no warnings", nullptr,
         [this] { common_.quiet = true; }});
}

void CommandLine::add(Option opt) { options_.push_back(std::move(opt)); }

void CommandLine::add_int(const std::string& name, const std::string& help, long lo, long hi,
                          long* target) {
    add({name, 0, "N", help,
         [name, lo, hi, target](const std::string& v, std::string& why) {
             if (parse_long(v, lo, hi, target)) return true;
             why = "--" + name + " needs a whole number from " + std::to_string(lo) + " to " +
                   std::to_string(hi) + ", not '" + v + "'";
             return false;
         },
         nullptr});
}

void CommandLine::print_help(FILE* f) const {
    std::fprintf(f, "%s: %s\n\nusage: %s [options] INPUT\n\n  INPUT  %s (- reads standard input)\n\n",
                 program_.c_str(), summary_.c_str(), program_.c_str(), input_help_.c_str());
    std::fprintf(f, "options:\n");
    for (const Option& o : options_) {
        std::string left = o.short_name ? std::string("-") + o.short_name + ", " : "    ";
        left += "--" + o.name;
        if (!o.value_name.empty()) left += " " + o.value_name;
        std::fprintf(f, "  %-24s %s\n", left.c_str(), o.help.c_str());
    }
    std::fprintf(f, "  %-24s %s\n  %-24s %s\n", "-h, --help", "this text, then exit",
                 "    --version", "the program's and the library's versions, then exit");
    std::fprintf(f,
                 "\nexit status: 0 success; 1 damaged input, no picture decoded or an I/O "
                 "error;\n2 bad command line; 3 unsupported stream or input.\n");
}

void CommandLine::usage_error(const std::string& why) const {
    message(program_, "%s", why.c_str());
    std::fprintf(stderr, "usage: %s [options] INPUT (%s --help lists the options)\n",
                 program_.c_str(), program_.c_str());
}

bool CommandLine::parse(int argc, char** argv, int* exit_code) {
    bool inputs_only = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (inputs_only || a == "-" || a.empty() || a[0] != '-') {
            if (!common_.input.empty()) {
                usage_error("more than one input: '" + common_.input + "' and '" + a + "'");
                return *exit_code = kExitUsage, false;
            }
            common_.input = a;
            continue;
        }
        if (a == "--") {
            inputs_only = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            print_help(stdout);
            return *exit_code = kExitOk, false;
        }
        if (a == "--version") {
            const OpxVersionInfo* v = opxvcGetLibVersion();
            std::printf("%s (opxvc examples) %d.%d.%d\nlibrary: %s %s (header %s)\n",
                        program_.c_str(), OPXVC_VERSION_MAJOR, OPXVC_VERSION_MINOR,
                        OPXVC_VERSION_PATCH, v->name, v->version, OPXVC_VERSION_STRING);
            return *exit_code = kExitOk, false;
        }
        // "--name=value", "--name value", "-x value"
        std::string name, value;
        bool has_value = false;
        const Option* opt = nullptr;
        if (a.size() > 2 && a[1] == '-') {
            name = a.substr(2);
            const size_t eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                has_value = true;
            }
            for (const Option& o : options_)
                if (o.name == name) opt = &o;
        } else if (a.size() == 2) {
            for (const Option& o : options_)
                if (o.short_name == a[1]) opt = &o;
            name = a;
        }
        if (!opt) {
            usage_error("unknown option '" + a + "'");
            return *exit_code = kExitUsage, false;
        }
        std::string why;
        if (opt->value_name.empty()) {
            if (has_value) {
                usage_error("--" + opt->name + " takes no value");
                return *exit_code = kExitUsage, false;
            }
            opt->on_flag();
            continue;
        }
        if (!has_value) {
            if (i + 1 >= argc) {
                usage_error("--" + opt->name + " needs a value (" + opt->value_name + ")");
                return *exit_code = kExitUsage, false;
            }
            value = argv[++i];
        }
        if (!opt->on_value(value, why)) {
            usage_error(why);
            return *exit_code = kExitUsage, false;
        }
    }
    if (common_.input.empty()) {
        usage_error("no input");
        return *exit_code = kExitUsage, false;
    }
    return true;
}

Progress::Progress(const CommonOptions& opt)
    : live_(!opt.quiet && isatty(fileno(stderr))), time_(opt.time),
      start_(std::chrono::steady_clock::now()), last_(start_) {}

void Progress::frame() {
    ++frames_;
    if (!live_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    const double s = std::chrono::duration<double>(now - start_).count();
    std::fprintf(stderr, "\r%ld frames, %.1f frames/s ", frames_, s > 0 ? frames_ / s : 0.0);
    std::fflush(stderr);
}

void Progress::finish(const std::string& program) {
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (live_) std::fprintf(stderr, "\r\033[K");
    if (time_)
        std::fprintf(stderr, "%s: %ld frames in %.3f s: %.1f frames/s\n", program.c_str(), frames_,
                     s, s > 0 ? frames_ / s : 0.0);
}

}  // namespace opxcli

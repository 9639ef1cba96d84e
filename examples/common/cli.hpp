// The command-line frame shared by the example programs: options with validation, --help and
// --version, input from a file or standard input, progress and timing reports, and one exit-code
// convention. Each program adds its own options and its codec; nothing here knows a codec.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace opxcli {

// Exit codes of every example program (stated in --help and the README).
enum Exit : int {
    kExitOk = 0,           // success
    kExitDamaged = 1,      // damaged input, no picture, or an I/O error
    kExitUsage = 2,        // bad command line
    kExitUnsupported = 3,  // a valid stream or input this program does not handle
};

// One option: "--name" (and "-x" when short_name is set). A value-taking option calls on_value
// with the text after it; returning false makes it a usage error with the message in `why`.
struct Option {
    std::string name;        // without the leading dashes
    char short_name = 0;     // 0: none
    std::string value_name;  // empty: a flag
    std::string help;
    std::function<bool(const std::string& value, std::string& why)> on_value;
    std::function<void()> on_flag;
};

// Values of the options every program shares. max_frames < 0: no limit.
struct CommonOptions {
    std::string input;   // "-": standard input
    std::string output;  // empty: none; "-": standard output
    std::string format;  // "", "raw" or "y4m" (--format); empty: by the output's suffix
    long max_frames = -1;
    bool md5 = false, time = false, quiet = false;
};

class CommandLine {
  public:
    // `program`: the program's name; `summary`: one line on what it does; `input_help`: what the
    // input is. `with_output` false leaves out -o/--format (programs that only check or count).
    CommandLine(std::string program, std::string summary, std::string input_help,
                bool with_output = true);
    void add(Option opt);
    // Adds an integer option with a range check ("--name N").
    void add_int(const std::string& name, const std::string& help, long lo, long hi, long* target);
    // Parses argv into common(); prints --help or --version and returns kExitOk through *exit_code
    // for them, a usage message and kExitUsage for errors. Returns true when the program goes on.
    bool parse(int argc, char** argv, int* exit_code);
    const CommonOptions& common() const { return common_; }
    CommonOptions& common() { return common_; }
    const std::string& program() const { return program_; }
    void print_help(FILE* f) const;
    void usage_error(const std::string& why) const;

  private:
    std::string program_, summary_, input_help_;
    std::vector<Option> options_;
    CommonOptions common_;
};

// Strict decimal integer in [lo, hi]; false for anything else ("abc", "12x", "", overflow).
bool parse_long(const std::string& text, long lo, long hi, long* value);
// Lower-case copy (ASCII).
std::string lower(std::string s);
// True when `name` ends in `suffix`, ignoring case (".Y4M" is ".y4m").
bool has_suffix(const std::string& name, const std::string& suffix);

// Reads a whole regular file, pipe or standard input ("-") by streaming; false (with a reason)
// for anything else, such as a directory, or a read error.
bool read_input(const std::string& path, std::vector<uint8_t>& data, std::string& why);

// Messages on standard error prefixed with the program name.
void message(const std::string& program, const char* fmt, ...)
    __attribute__((format(printf, 2, 3)));

// A one-line progress report on standard error while it is a terminal (not with --quiet), and
// the final summary with --time.
class Progress {
  public:
    Progress(const CommonOptions& opt);
    void frame();  // one more frame done
    long frames() const { return frames_; }
    void finish(const std::string& program);  // clears the line; prints the --time summary

  private:
    bool live_, time_;
    long frames_ = 0;
    std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace opxcli

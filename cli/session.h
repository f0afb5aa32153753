// The plug-in loaded into the stand-in host, and the calls the tool makes on
// it. Everything the tool learns about a GIF comes through these calls.
#ifndef GIFQVR_CLI_SESSION_H
#define GIFQVR_CLI_SESSION_H

#include "standin_host/standin_host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

using standin::Host;
using standin::Value;

// Exit statuses.
enum Status { kOk = 0, kBadFile = 1, kUsage = 2, kPluginFault = 3 };

// A failure the user is told about: one line, then the process exits with
// the status.
struct Failure {
    Status status;
    std::string message;
};

[[noreturn]] void fail(Status status, const std::string &message);

// The options of the command line. plugin and strict apply to every
// command; the others to the command that names them in main.cpp.
struct Options {
    std::string plugin;      // library to load; empty: find it
    bool strict = false;     // refuse damaged files instead of warning
    bool composite = false;  // frames: as a viewer shows them, on the screen
    bool dither = false;     // make: Floyd-Steinberg when colours are reduced
    int delay = 10;          // make: hundredths of a second per frame
    int loop = 0;            // make: times to play, 0 forever
};

// The library to load: the option, else $GIFQVR_PLUGIN, else the one this
// tool was built with, else one installed next to the tool.
std::string findPlugin(const Options &options);

// Loads the plug-in once; fails with kPluginFault if the host cannot.
void loadPlugin(const std::string &path);

// Checks that the plug-in left every reference as it found it and made no
// fault the host noticed; fails with kPluginFault otherwise.
class BalanceCheck {
public:
    BalanceCheck();
    void verify();

private:
    standin::Snapshot before_;
};

Host &host();

// Property and method calls, typed.
int32_t getInt(const Value &object, const std::string &property);
bool getBool(const Value &object, const std::string &property);
Value get(const Value &object, const std::string &property);
void set(const Value &object, const std::string &property, const Value &value);
void setInt(const Value &object, const std::string &property, int32_t value);
Value call(const Value &object, const std::string &method, const standin::Args &args = {});
std::string bytesOf(const Value &stringOrNil);
// "Count" of a palette object, 0 for nil.
int paletteCount(const Value &palette);

// Bytes in double quotes for a message, escaped, cut after limit bytes.
std::string quoteBytes(const std::string &bytes, size_t limit = 60);

// A picture with its mask, as RGBA rows: alpha 0 where the mask is white,
// 255 where it is black (255 everywhere without a mask).
struct Rgba {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
};
Rgba toRgba(const Value &picture, const Value &mask);

}  // namespace cli

#endif

// gifqvr: the plug-in at work outside its host. The plug-in is loaded into
// the stand-in host as the host loads it and is driven only through the
// classes and methods it registers.
#include "cli/commands.h"
#include "cli/session.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: gifqvr [--plugin LIB] [--strict] COMMAND [OPTIONS] [OPERANDS]\n"
    "\n"
    "Loads the gifqvr plug-in into a stand-in for its host and works on GIF\n"
    "files through the classes and methods the plug-in gives host programs.\n"
    "\n"
    "commands:\n"
    "  info FILE          header, screen and every block of FILE: images with size,\n"
    "                     position, interlace, tables and transparent index;\n"
    "                     extensions with label and sub-block sizes\n"
    "  dump FILE OUT      the plug-in's text dump of FILE into OUT (\"-\": standard output)\n"
    "  png FILE OUT.png   the first image of FILE with its transparency, as an RGBA PNG\n"
    "  frames [--composite] FILE DIR\n"
    "                     every image of FILE as DIR/frame-000.png, frame-001.png, ...;\n"
    "                     with --composite every frame as a viewer shows it: the\n"
    "                     logical screen with the images drawn so far, each image's\n"
    "                     transparency, disposal and delay from its graphic control\n"
    "  make [--delay CS] [--loop N] [--dither] OUT.gif FRAME.png...\n"
    "                     a GIF of one image per PNG, all of the first one's size;\n"
    "                     frames of more than 256 colours are reduced by median cut\n"
    "                     --delay CS   each frame's delay in 1/100 s (default 10)\n"
    "                     --loop N     times to play, 0 = forever (default 0)\n"
    "                     --dither     Floyd-Steinberg dithering when reducing\n"
    "  resave IN OUT      load IN and save it as OUT; prints both sizes\n"
    "  demo [DIR]         build a small animated GIF from scratch, save it, load it\n"
    "                     again, write its frames and its dump into DIR (default\n"
    "                     out/demo)\n"
    "  help               this text\n"
    "With no command, gifqvr runs the demo.\n"
    "\n"
    "options:\n"
    "  --plugin LIB       the plug-in library to load; default $GIFQVR_PLUGIN, else\n"
    "                     the library built with this tool, else libgifqvr.so beside\n"
    "                     the tool or in ../lib\n"
    "  --strict           refuse damaged GIF files (truncated, no trailer, bytes after\n"
    "                     the trailer, an unexpected byte where a block should start);\n"
    "                     by default they are read as the plug-in reads them, with a\n"
    "                     warning that gives the byte offset\n"
    "  --lenient          the default; cancels an earlier --strict\n"
    "\n"
    "Where the plug-in's mask and a viewer make different pixels transparent (the\n"
    "mask reads only the block just before an image), info, png and frames say so.\n"
    "Output files are replaced if they exist; an input file never is.\n"
    "Exit status: 0 done, 1 a file could not be read or written (or was damaged,\n"
    "with --strict), 2 bad usage, 3 the plug-in could not be loaded or misbehaved.\n";

struct Command {
    const char *name;
    size_t minOperands, maxOperands;
    void (*run)(const cli::Operands &, const cli::Options &);
    std::vector<std::string> options;  // its own options, beyond the common ones
};

const size_t kMany = SIZE_MAX;

const Command kCommands[] = {
    {"info", 1, 1, cli::runInfo, {}},
    {"dump", 2, 2, cli::runDump, {}},
    {"png", 2, 2, cli::runPng, {}},
    {"frames", 2, 2, cli::runFrames, {"--composite"}},
    {"make", 2, kMany, cli::runMake, {"--delay", "--loop", "--dither"}},
    {"resave", 2, 2, cli::runResave, {}},
    {"demo", 0, 1, cli::runDemo, {}},
};

// A number of hundredths or plays: 0 to 65535, as GIF stores them.
bool parseCount(const std::string &text, int &value)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoi(text);
    return value <= 65535;
}

int usageError(const std::string &message)
{
    std::fprintf(stderr, "gifqvr: %s\n\n%s", message.c_str(), kUsage);
    return cli::kUsage;
}

}  // namespace

int main(int argc, char **argv)
{
    cli::Options options;
    std::vector<std::string> words, given;  // operands; command options given
    bool optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        std::string name = arg.substr(0, arg.find('='));
        bool hasValue = name.size() < arg.size();
        if (optionsEnded || arg == "-" || arg.rfind("-", 0) != 0) {
            words.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--strict" || arg == "--lenient") {
            options.strict = arg == "--strict";
        } else if (arg == "--composite" || arg == "--dither") {
            (arg == "--composite" ? options.composite : options.dither) = true;
            given.push_back(arg);
        } else if (name == "--plugin" || name == "--delay" || name == "--loop") {
            if (!hasValue && i + 1 == argc)
                return usageError(name + " needs a value");
            std::string value = hasValue ? arg.substr(name.size() + 1) : argv[++i];
            if (name == "--plugin") {
                options.plugin = value;
                continue;
            }
            if (!parseCount(value, name == "--delay" ? options.delay : options.loop))
                return usageError(name + " takes a number from 0 to 65535, not '" + value + "'");
            given.push_back(name);
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return cli::kOk;
        } else {
            return usageError("unknown option " + arg);
        }
    }
    if (!words.empty() && words[0] == "help") {
        std::fputs(kUsage, stdout);
        return cli::kOk;
    }
    std::string name = words.empty() ? "demo" : words[0];
    cli::Operands operands(words.size() > 1 ? words.begin() + 1 : words.end(), words.end());

    const Command *command = nullptr;
    for (const Command &c : kCommands)
        if (name == c.name)
            command = &c;
    if (!command)
        return usageError("unknown command '" + name + "'");
    for (const std::string &option : given)
        if (std::find(command->options.begin(), command->options.end(), option) == command->options.end())
            return usageError(name + " takes no option " + option);
    if (operands.size() < command->minOperands || operands.size() > command->maxOperands) {
        std::string expected = command->maxOperands == kMany ? "at least " + std::to_string(command->minOperands)
                               : command->minOperands == command->maxOperands
                                   ? std::to_string(command->minOperands)
                                   : std::to_string(command->minOperands) + " or " + std::to_string(command->maxOperands);
        return usageError(name + ": expected " + expected + " operand" + (command->maxOperands == 1 ? "" : "s") +
                          ", got " + std::to_string(operands.size()));
    }
    try {
        cli::loadPlugin(cli::findPlugin(options));
        cli::BalanceCheck balance;
        command->run(operands, options);
        balance.verify();
    } catch (const cli::Failure &failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "gifqvr: %s\n", failure.message.c_str());
        return failure.status;
    } catch (const std::exception &e) {
        // The stand-in host refuses a call it cannot make, or memory ran out.
        std::fflush(stdout);
        std::fprintf(stderr, "gifqvr: internal error: %s\n", e.what());
        return cli::kPluginFault;
    }
    std::fflush(stdout);
    return std::ferror(stdout) ? cli::kBadFile : cli::kOk;
}

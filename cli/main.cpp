// gifqvr: the plug-in at work outside its host. The plug-in is loaded into
// the stand-in host as the host loads it and is driven only through the
// classes and methods it registers.
#include "cli/commands.h"
#include "cli/session.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: gifqvr [--plugin LIB] [--lenient] COMMAND [OPERANDS]\n"
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
    "  frames FILE DIR    every image of FILE as DIR/frame-000.png, frame-001.png, ...\n"
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
    "  --lenient          read truncated or damaged files as the plug-in does (missing\n"
    "                     bytes read as zeros) instead of refusing them\n"
    "\n"
    "Output files are replaced if they exist; an input file never is.\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 bad usage,\n"
    "3 the plug-in could not be loaded or misbehaved.\n";

struct Command {
    const char *name;
    size_t minOperands, maxOperands;
    void (*run)(const cli::Operands &, const cli::Options &);
};

const Command kCommands[] = {
    {"info", 1, 1, cli::runInfo},     {"dump", 2, 2, cli::runDump},         {"png", 2, 2, cli::runPng},
    {"frames", 2, 2, cli::runFrames}, {"resave", 2, 2, cli::runResave}, {"demo", 0, 1, cli::runDemo},
};

int usageError(const std::string &message)
{
    std::fprintf(stderr, "gifqvr: %s\n\n%s", message.c_str(), kUsage);
    return cli::kUsage;
}

}  // namespace

int main(int argc, char **argv)
{
    cli::Options options;
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.rfind("-", 0) != 0) {
            words.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--lenient") {
            options.lenient = true;
        } else if (arg == "--plugin") {
            if (++i == argc)
                return usageError("--plugin needs a library path");
            options.plugin = argv[i];
        } else if (arg.rfind("--plugin=", 0) == 0) {
            options.plugin = arg.substr(9);
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
    if (operands.size() < command->minOperands || operands.size() > command->maxOperands)
        return usageError(name + ": expected " +
                          (command->minOperands == command->maxOperands
                               ? std::to_string(command->minOperands)
                               : std::to_string(command->minOperands) + " or " +
                                     std::to_string(command->maxOperands)) +
                          " operand" + (command->maxOperands == 1 ? "" : "s") + ", got " +
                          std::to_string(operands.size()));

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

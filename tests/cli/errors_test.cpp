// Bad input, bad output and bad usage: a message naming the file and the
// reason, a non-zero exit, no file written, and no crash or sanitizer report.
#include "tests/cli/support.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace clitest {
namespace {

// A whole file: screen with a global table, an extension, one image, trailer.
std::string validGif(const std::string &path)
{
    GifSpec s{12, 10, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF}};
    Image im;
    im.width = 12;
    im.height = 10;
    for (int i = 0; i < 120; i++)
        im.pixels.push_back(static_cast<uint8_t>(i * 7 % 4));
    s.control(1).add(im);
    writeGif(path, s);
    return readFile(path);
}

// Screen, then one image block with the descriptor and data given.
std::string handMade(int width, int height, bool globalTable)
{
    std::string b = "GIF89a";
    b += {12, 0, 10, 0, static_cast<char>(globalTable ? 0x80 : 0x00), 0, 0};
    if (globalTable)
        b += std::string("\x00\x00\x00\xFF\xFF\xFF", 6);
    b += {0x2C, 0, 0, 0, 0, static_cast<char>(width & 0xFF), static_cast<char>(width >> 8),
          static_cast<char>(height & 0xFF), static_cast<char>(height >> 8), 0};
    // Code size 2: a clear code and the end code, then the terminator.
    b += {0x02, 0x01, 0x2C, 0x00, 0x3B};
    return b;
}

struct BadInput {
    std::string name;
    std::string file;    // path under the test directory
    std::string reason;  // in the message
};

class CliErrors : public CliTest {
protected:
    // Every command on the input: status 1, a message that starts with the
    // file's name and gives the reason, and no output left behind.
    void expectRefusedEverywhere(const BadInput &bad, const std::vector<std::string> &options = {})
    {
        SCOPED_TRACE(bad.name);
        const std::string in = path(bad.file);
        const std::vector<std::pair<std::vector<std::string>, std::string>> commands = {
            {{"info", in}, ""},
            {{"dump", in, path("out.txt")}, path("out.txt")},
            {{"png", in, path("out.png")}, path("out.png")},
            {{"frames", in, path("frames")}, path("frames")},
            {{"resave", in, path("out.gif")}, path("out.gif")},
        };
        for (const auto &[args, output] : commands) {
            SCOPED_TRACE(args[0]);
            std::vector<std::string> withOptions = options;
            withOptions.insert(withOptions.end(), args.begin(), args.end());
            ToolRun run = tool(withOptions);
            ASSERT_TRUE(exitedCleanly(run));
            EXPECT_EQ(1, run.status);
            EXPECT_EQ(0u, run.err.find("gifqvr: " + in + ": ")) << run.err;
            EXPECT_NE(run.err.find(bad.reason), std::string::npos) << run.err;
            EXPECT_EQ("", run.out);
            if (!output.empty()) {
                EXPECT_FALSE(exists(output));
            }
        }
    }
};

TEST_F(CliErrors, UnreadableAndNonGifInputs)
{
    ASSERT_EQ(0, mkdir(path("a directory.gif").c_str(), 0755));
    writeFile(path("empty.gif"), "");
    writeFile(path("image.png"), std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
    std::string valid = validGif(path("valid.gif"));
    writeFile(path("lower.gif"), "gif" + valid.substr(3));
    writeFile(path("text.gif"), "GI");
    for (const BadInput &bad : std::vector<BadInput>{
             {"missing", "missing.gif", "no such file"},
             {"directory", "a directory.gif", "is a directory"},
             {"empty", "empty.gif", "empty file"},
             {"PNG", "image.png", "not a GIF file"},
             {"lower-case signature", "lower.gif", "not a GIF file"},
             {"two bytes", "text.gif", "not a GIF file"},
         })
        expectRefusedEverywhere(bad);
}

// Damaged files are read as the plug-in reads them (missing bytes as zeros,
// nothing after an unexpected byte), with a warning that names the file,
// the offset and what is wrong; --strict refuses them.
TEST_F(CliErrors, DamagedFilesAreReadWithAWarningOrRefusedWhenStrict)
{
    const std::string valid = validGif(path("valid.gif"));
    ASSERT_EQ(';', valid.back());
    const size_t gce = 13 + 12, descriptor = gce + 8, end = valid.size();
    const std::string cut = "the file ends inside ";
    struct Case {
        std::string bytes;
        size_t offset;
        std::string what;
        bool image;  // the plug-in reads an image with pixels
    };
    const std::vector<Case> cases = {
        {valid.substr(0, 3), 3, cut + "the logical screen descriptor", false},
        {valid.substr(0, 17), 17, cut + "the global colour table", false},
        {valid.substr(0, gce + 2), gce + 2, cut + "an extension (block 0)", false},
        {valid.substr(0, descriptor + 4), descriptor + 4, cut + "the descriptor of image 0 (block 1)", false},
        {valid.substr(0, descriptor + 12), descriptor + 12, cut + "the data of image 0 (block 1)", true},
        {valid.substr(0, end - 2), end - 2, cut + "the data of image 0 (block 1)", true},
        {valid.substr(0, end - 1), end - 1, "no trailer after block 1; every block is whole", true},
        {valid.substr(0, end - 1) + "X;", end - 1, "unexpected byte 0x58 where block 2 or the trailer should start", true},
        {valid + "xyz", end, "3 bytes after the trailer", true},
    };
    for (size_t n = 0; n < cases.size(); n++) {
        const Case &c = cases[n];
        const std::string name = "damaged" + std::to_string(n) + ".gif", in = path(name);
        writeFile(in, c.bytes);
        const std::string reason = "at byte " + std::to_string(c.offset) + ": " + c.what;
        SCOPED_TRACE(reason);
        const char *kind = c.offset == end - 1 && c.bytes.size() == end - 1 ? "note" : "warning";
        for (const std::string command : {"info", "dump", "png", "frames", "resave"}) {
            SCOPED_TRACE(command);
            std::vector<std::string> args = {command, in};
            if (command != "info")
                args.push_back(path(name + "." + command));
            ToolRun run = tool(args);
            ASSERT_TRUE(exitedCleanly(run));
            EXPECT_EQ(0u, run.err.find("gifqvr: " + std::string(kind) + ": " + in + ": " + reason)) << run.err;
            if (c.image || command == "info" || command == "dump" || command == "resave") {
                EXPECT_EQ(0, run.status) << run.err;
            }
        }
        expectRefusedEverywhere({"--strict", name, reason}, {"--strict"});
    }
    // Only the trailer missing: the picture is whole.
    ToolRun reference = tool({"png", path("valid.gif"), path("valid.png")});
    ASSERT_EQ(0, reference.status) << reference.err;
    EXPECT_EQ(readPng(path("valid.png")).pixels, readPng(path("damaged6.gif.png")).pixels);
    // A cut image reads as zeros where its data is missing.
    Png partial = readPng(path("damaged4.gif.png"));
    EXPECT_EQ(12, partial.width);
    EXPECT_EQ(10, partial.height);
    // --lenient, the default, is still taken and cancels --strict.
    ToolRun lenient = tool({"--strict", "info", "--lenient", path("damaged4.gif")});
    ASSERT_TRUE(exitedCleanly(lenient));
    EXPECT_EQ(0, lenient.status) << lenient.err;
}

TEST_F(CliErrors, ImagesTooLargeToDecodeAreRefused)
{
    writeFile(path("huge.gif"), handMade(60000, 60000, true));
    expectRefusedEverywhere({"image of 3.6 gigapixels", "huge.gif", "at byte 19: image 0 (block 0) is an image of "
                                                                    "60000x60000 pixels, more than this tool decodes"});
}

TEST_F(CliErrors, FilesWithoutAPictureToMake)
{
    GifSpec onlyText{10, 10, {0, 0xFFFFFF}};
    onlyText.add(Extension{0xFE, {"no image here"}});
    writeGif(path("text only.gif"), onlyText);
    writeFile(path("no table.gif"), handMade(4, 4, false));
    writeFile(path("empty image.gif"), handMade(0, 0, true));
    struct Case {
        const char *file, *reason;
    };
    for (const Case &c : {Case{"text only.gif", "holds no image"}, Case{"no table.gif", "no colour table"},
                          Case{"empty image.gif", "the image is empty (0x0)"}}) {
        SCOPED_TRACE(c.file);
        for (const char *command : {"png", "frames"}) {
            SCOPED_TRACE(command);
            std::string out = path(std::string("out-") + command);
            ToolRun run = tool({command, path(c.file), out});
            ASSERT_TRUE(exitedCleanly(run));
            EXPECT_EQ(1, run.status);
            EXPECT_NE(run.err.find(path(c.file) + ": "), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
            EXPECT_FALSE(exists(out + "/frame-000.png"));
            if (std::string(command) == "png") {
                EXPECT_FALSE(exists(out));
            }
        }
        // Still a GIF the other commands take.
        ToolRun info = tool({"info", path(c.file)});
        ASSERT_TRUE(exitedCleanly(info));
        EXPECT_EQ(0, info.status) << info.err;
    }
}

TEST_F(CliErrors, OutputsThatCannotBeWritten)
{
    const std::string gif = path("valid.gif");
    const std::string valid = validGif(gif);
    ASSERT_EQ(0, mkdir(path("dir").c_str(), 0755));
    writeFile(path("file"), "x");
    struct Case {
        std::vector<std::string> args;
        std::string named, reason;
    };
    const std::vector<Case> cases = {
        {{"png", gif, path("no/such/dir/x.png")}, path("no/such/dir/x.png"), "no such file or directory"},
        {{"resave", gif, path("no/x.gif")}, path("no/x.gif"), "no such file or directory"},
        {{"dump", gif, path("dir")}, path("dir"), "is a directory"},
        {{"png", gif, path("dir")}, path("dir"), "is a directory"},
        {{"resave", gif, path("file/x.gif")}, path("file/x.gif"), "not a directory"},
        {{"frames", gif, path("file")}, path("file"), "not a directory"},
        // The input itself, however it is named, is never overwritten.
        {{"png", gif, gif}, gif, "is the input file"},
        {{"dump", gif, path("./valid.gif")}, path("./valid.gif"), "is the input file"},
        {{"resave", gif, path("dir/../valid.gif")}, path("dir/../valid.gif"), "is the input file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2]);
        ToolRun run = tool(c.args);
        ASSERT_TRUE(exitedCleanly(run));
        EXPECT_EQ(1, run.status);
        EXPECT_EQ(0u, run.err.find("gifqvr: " + c.named + ": ")) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    }
    EXPECT_EQ(valid, readFile(gif));
    EXPECT_EQ("x", readFile(path("file")));
}

TEST_F(CliErrors, UsageMistakes)
{
    ToolRun help = tool({"help"});
    ASSERT_TRUE(exitedCleanly(help));
    EXPECT_EQ(0, help.status);
    for (const char *command : {"info FILE", "dump FILE OUT", "png FILE OUT.png",
                                "resave IN OUT", "demo [DIR]", "--plugin", "--lenient", "--strict",
                                "frames [--composite] FILE DIR", "make [--delay CS] [--loop N] [--dither] OUT.gif FRAME.png..."})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    EXPECT_EQ(help.out, tool({"--help"}).out);

    const std::vector<std::vector<std::string>> wrong = {
        {"bogus"},          {"info"},       {"info", "a", "b"}, {"dump", "a"}, {"png", "a"},
        {"png", "a", "b", "c"}, {"frames"}, {"resave", "a"},    {"demo", "a", "b"}, {"--colour", "info", "a"},
        {"info", "a", "--plugin"},
    };
    for (const auto &args : wrong) {
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
        ToolRun run = tool(args);
        ASSERT_TRUE(exitedCleanly(run));
        EXPECT_EQ(2, run.status);
        EXPECT_EQ(0u, run.err.find("gifqvr: ")) << run.err;
        EXPECT_NE(run.err.find("usage: gifqvr"), std::string::npos) << run.err;
        EXPECT_EQ("", run.out);
    }
}

TEST_F(CliErrors, ThePluginLibraryCanBeNamedAndIsChecked)
{
    const std::string gif = path("valid.gif");
    validGif(gif);
    ASSERT_EQ(0, mkdir(path("lib").c_str(), 0755));
    const std::string copy = path("lib/libgifqvr.so");
    std::filesystem::copy_file(GIFQVR_PLUGIN_FILE, copy);
    writeFile(path("not-a-library.so"), "plain text\n");

    auto run = [&](const std::vector<std::string> &args, const std::string &env) {
        return runTool(args, dir_, {{"GIFQVR_PLUGIN", env}});
    };
    ToolRun fromEnv = run({"info", gif}, copy);
    ASSERT_TRUE(exitedCleanly(fromEnv));
    EXPECT_EQ(0, fromEnv.status) << fromEnv.err;

    ToolRun badEnv = run({"info", gif}, path("not-a-library.so"));
    ASSERT_TRUE(exitedCleanly(badEnv));
    EXPECT_EQ(3, badEnv.status);
    EXPECT_EQ(0u, badEnv.err.find("gifqvr: cannot load the plug-in " + path("not-a-library.so"))) << badEnv.err;

    ToolRun optionWins = run({"--plugin", copy, "info", gif}, path("not-a-library.so"));
    ASSERT_TRUE(exitedCleanly(optionWins));
    EXPECT_EQ(0, optionWins.status) << optionWins.err;

    ToolRun missing = run({"--plugin=" + path("nowhere.so"), "info", gif}, "");
    ASSERT_TRUE(exitedCleanly(missing));
    EXPECT_EQ(3, missing.status);
    EXPECT_NE(missing.err.find(path("nowhere.so") + ": no such file"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace clitest

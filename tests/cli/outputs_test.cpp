// What the tool writes, checked against independent readers: PNG files read
// back with libpng and compared with the RGBA giflib's decoding gives,
// resaved files decoded by giflib, the dump compared with the codec's.
#include "tests/cli/support.h"

#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <set>
#include <sstream>

namespace clitest {
namespace {

// Whole-line match where '*' stands for any run of characters.
bool matches(const std::string &text, const std::string &pattern)
{
    size_t star = pattern.find('*');
    if (star == std::string::npos)
        return text == pattern;
    if (text.compare(0, star, pattern, 0, star) != 0)
        return false;
    std::string rest = pattern.substr(star + 1);
    for (size_t at = star; at <= text.size(); at++)
        if (matches(text.substr(at), rest))
            return true;
    return false;
}

struct Case {
    const char *name;
    GifSpec spec;
};

// Files whose first image differs in what decides its colours and alpha.
std::vector<Case> firstImageCases()
{
    std::vector<Case> cases;
    {
        GifSpec s{7, 5, colours(4, 1)};
        s.control(2).add(image(0, 0, 7, 5, 4, 3));
        cases.push_back({"global table, transparent index 2", s});
    }
    {
        GifSpec s{30, 20, colours(8, 2)};
        s.add(Extension{0xFE, {"a comment first"}})
            .add(Extension{0xFF, {"NETSCAPE2.0", std::string("\x01\x00\x00", 3)}})
            .control(5, 10)
            .add(image(3, 4, 19, 13, 16, 5, true, colours(16, 3)));
        cases.push_back({"interlaced, local table, offset, extensions first", s});
    }
    {
        GifSpec s{9, 9, colours(2, 4)};
        s.add(image(0, 0, 9, 9, 2, 1));
        cases.push_back({"no graphic control: opaque", s});
    }
    {
        GifSpec s{6, 4, colours(8, 5)};
        std::string noFlag = {0x04, 0x00, 0x00, 0x03};  // index 3 named, flag clear
        s.add(Extension{0xF9, {noFlag}}).add(image(0, 0, 6, 4, 8, 7));
        cases.push_back({"transparent index without its flag: opaque", s});
    }
    {
        GifSpec s{16, 16, colours(256, 6)};
        s.control(200).add(image(0, 0, 16, 16, 256, 11, false)).control(1).add(image(2, 2, 3, 3, 4, 2));
        cases.push_back({"256 colours, first of two images", s});
    }
    return cases;
}

class CliOutputs : public CliTest {};

TEST_F(CliOutputs, PngIsTheFirstImageInRgbaWithItsTransparency)
{
    int n = 0;
    for (const Case &c : firstImageCases()) {
        SCOPED_TRACE(c.name);
        std::string gif = path("in" + std::to_string(n) + ".gif");
        std::string png = path("out" + std::to_string(n++) + ".png");
        writeGif(gif, c.spec);
        Decoded d = decodeGif(gif);
        ASSERT_TRUE(d.ok) << d.error;

        ToolRun run = tool({"png", gif, png});
        ASSERT_TRUE(exitedCleanly(run));
        ASSERT_EQ(0, run.status) << run.err;
        Png p = readPng(png);
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_TRUE(p.rgba);
        const Decoded::Frame &first = d.frames.at(0);
        EXPECT_EQ(first.width, p.width);
        EXPECT_EQ(first.height, p.height);
        Bytes want = expectedRgba(first, d.global);
        EXPECT_EQ(want, p.pixels);
        size_t clear = static_cast<size_t>(std::count(first.pixels.begin(), first.pixels.end(), first.transparent));
        EXPECT_NE(run.out.find(std::to_string(clear) + " transparent pixel"), std::string::npos) << run.out;
    }
}

TEST_F(CliOutputs, FramesWritesEveryImageAndOnlyImages)
{
    GifSpec s{40, 30, colours(16, 9)};
    s.add(Extension{0xFE, {"frames"}})
        .control(4)
        .add(image(0, 0, 40, 30, 16, 3))
        .control(-1)
        .add(image(5, 7, 17, 13, 8, 5, true, colours(8, 4)))
        .add(image(39, 29, 1, 1, 2, 1))  // no graphic control of its own
        .control(0)
        .add(image(10, 2, 23, 11, 16, 9, false, colours(16, 8)));
    std::string gif = path("anim.gif");
    writeGif(gif, s);
    Decoded d = decodeGif(gif);
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ(4u, d.frames.size());

    std::string dir = path("frames/nested");  // made with its parents
    ToolRun run = tool({"frames", gif, dir});
    ASSERT_TRUE(exitedCleanly(run));
    ASSERT_EQ(0, run.status) << run.err;

    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::string>{"frame-000.png", "frame-001.png", "frame-002.png", "frame-003.png"}),
              files);
    for (size_t i = 0; i < d.frames.size() && i < files.size(); i++) {
        SCOPED_TRACE(files[i]);
        const Decoded::Frame &f = d.frames[i];
        Png p = readPng(dir + "/" + files[i]);
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_TRUE(p.rgba);
        EXPECT_EQ(f.width, p.width);
        EXPECT_EQ(f.height, p.height);
        // The third image has no graphic control of its own and takes
        // none from the image before it.
        EXPECT_EQ(expectedRgba(f, d.global), p.pixels);
        std::string line = files[i] + "  " + std::to_string(f.width) + "x" + std::to_string(f.height) + " at (" +
                           std::to_string(f.left) + "," + std::to_string(f.top) + ")";
        EXPECT_NE(run.out.find(line), std::string::npos) << run.out;
    }
}

TEST_F(CliOutputs, ResaveWritesAFileGiflibReadsAsTheOriginal)
{
    std::vector<Case> cases = firstImageCases();
    GifSpec many{40, 30, colours(16, 9)};
    many.add(Extension{0xFF, {"NETSCAPE2.0", std::string("\x01\x05\x00", 3)}});
    for (int i = 0; i < 5; i++)
        many.control(i, 7).add(image(i, 2 * i, 30 - i, 20 - 2 * i, 16, i + 2, i % 2 == 1));
    cases.push_back({"five frames", many});
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string in = path("in" + std::to_string(n) + ".gif");
        std::string out = path("out" + std::to_string(n++) + ".gif");
        writeGif(in, c.spec);
        ToolRun run = tool({"resave", in, out});
        ASSERT_TRUE(exitedCleanly(run));
        ASSERT_EQ(0, run.status) << run.err;
        Decoded a = decodeGif(in), b = decodeGif(out);
        ASSERT_TRUE(a.ok) << a.error;
        ASSERT_TRUE(b.ok) << b.error;
        EXPECT_EQ(a.width, b.width);
        EXPECT_EQ(a.height, b.height);
        EXPECT_EQ(a.background, b.background);
        EXPECT_EQ(a.global, b.global);
        ASSERT_EQ(a.frames.size(), b.frames.size());
        for (size_t i = 0; i < a.frames.size(); i++) {
            SCOPED_TRACE(i);
            const Decoded::Frame &x = a.frames[i], &y = b.frames[i];
            EXPECT_EQ(x.left, y.left);
            EXPECT_EQ(x.top, y.top);
            EXPECT_EQ(x.width, y.width);
            EXPECT_EQ(x.height, y.height);
            EXPECT_EQ(x.interlace, y.interlace);
            EXPECT_EQ(x.local, y.local);
            EXPECT_EQ(x.pixels, y.pixels);
            EXPECT_EQ(x.extensions, y.extensions);
        }
        // Both sizes, as the files have them.
        auto size = [](const std::string &p) { return std::to_string(std::filesystem::file_size(p)); };
        EXPECT_NE(run.out.find(in + ": " + size(in) + " bytes read"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(out + ": " + size(out) + " bytes written"), std::string::npos) << run.out;
    }
}

TEST_F(CliOutputs, InfoReportsTheScreenAndEveryBlock)
{
    GifSpec s{40, 30, colours(16, 9)};
    s.background = 3;
    s.add(Extension{0xFE, {"first", "second part"}})
        .control(4, 25)
        .add(image(0, 0, 40, 30, 16, 3))
        .add(image(5, 7, 17, 13, 8, 5, true, colours(8, 4)))
        .add(Extension{0x77, {std::string(200, 'x'), "yz", std::string(1, '\0')}});
    std::string gif = path("info.gif");
    writeGif(gif, s);
    ToolRun run = tool({"info", gif});
    ASSERT_TRUE(exitedCleanly(run));
    ASSERT_EQ(0, run.status) << run.err;

    std::vector<std::string> lines;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(3u + 5u, lines.size()) << run.out;
    EXPECT_EQ(gif + ": " + std::to_string(std::filesystem::file_size(gif)) + " bytes, header \"GIF89a\"", lines[0]);
    EXPECT_TRUE(matches(lines[1], "screen 40x30, *global table 16 entries *background 3*")) << lines[1];
    EXPECT_EQ("5 blocks", lines[2]);
    std::vector<std::string> blocks = {
        "    0  extension 0xFE comment \"first\"; sub-blocks: 5 11",
        "    1  extension 0xF9 graphic control: delay 25/100 s, *transparent index 4; sub-blocks: 4",
        "    2  image 40x30 at (0,0), not interlaced, no local table, transparent index 4",
        "    3  image 17x13 at (5,7), interlaced, local table 8 entries, no transparent index",
        "    4  extension 0x77; sub-blocks: 200 2 1",
    };
    for (size_t i = 0; i < blocks.size(); i++)
        EXPECT_TRUE(matches(lines[3 + i], blocks[i])) << lines[3 + i];
}

TEST_F(CliOutputs, InfoPointsOutAGraphicControlThatMasksDoNotUse)
{
    // Masks take the transparent index from the block just before the image
    // only, as some encoders do not place it.
    const std::string app = "ImageMagick";
    GifSpec s{8, 8, colours(4, 2)};
    s.control(2)
        .add(Extension{0xFF, {app, "gamma=0.45455"}})
        .add(image(0, 0, 8, 8, 4, 1))
        .control(3)
        .add(Extension{0xFE, {"note"}})
        .add(image(0, 0, 8, 8, 4, 2))
        .control(1)
        .add(image(0, 0, 8, 8, 4, 3));
    std::string gif = path("elsewhere.gif");
    writeGif(gif, s);
    ToolRun run = tool({"info", gif});
    ASSERT_TRUE(exitedCleanly(run));
    ASSERT_EQ(0, run.status) << run.err;
    const std::string fromApp = std::to_string(static_cast<unsigned char>(app[3]));
    for (const std::string &line :
         {"    2  image 8x8 at (0,0), not interlaced, no local table, transparent index " + fromApp +
              "\n       note: image 0 (block 2): the plug-in's mask makes index " + fromApp +
              " transparent (from block 1); a viewer makes index 2 transparent (graphic control in block 0)\n",
          std::string("    5  image 8x8 at (0,0), not interlaced, no local table, no transparent index\n"
                      "       note: image 1 (block 5): the plug-in's mask makes nothing transparent; a viewer makes "
                      "index 3 transparent (graphic control in block 3)\n"),
          std::string("    7  image 8x8 at (0,0), not interlaced, no local table, transparent index 1\n")})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    EXPECT_EQ(run.out.find("note:", run.out.find("block 5)") + 8), std::string::npos) << "the third image agrees";
}

TEST_F(CliOutputs, DumpIsTheCodecsDumpToAFileOrStandardOutput)
{
    for (const Case &c : firstImageCases()) {
        SCOPED_TRACE(c.name);
        std::string gif = path("d.gif"), txt = path("d.txt");
        writeGif(gif, c.spec);
        std::string want = codecDump(gif);
        ASSERT_NE(want.find("End of gif."), std::string::npos);

        writeFile(txt, std::string(100000, 'z'));  // replaced, not appended to
        ToolRun run = tool({"dump", gif, txt});
        ASSERT_TRUE(exitedCleanly(run));
        ASSERT_EQ(0, run.status) << run.err;
        EXPECT_EQ(want, readFile(txt));

        ToolRun piped = tool({"dump", gif, "-"});
        ASSERT_TRUE(exitedCleanly(piped));
        ASSERT_EQ(0, piped.status) << piped.err;
        EXPECT_EQ(want, piped.out);
    }
}

// The demo's file, read by giflib, is an animation with a transparent
// background; the PNG frames and the dump it writes agree with it.
void checkDemo(const std::string &dir, const ToolRun &run)
{
    ASSERT_TRUE(exitedCleanly(run));
    ASSERT_EQ(0, run.status) << run.err;
    std::string gif = dir + "/demo.gif";
    Decoded d = decodeGif(gif);
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_GE(d.frames.size(), 2u);
    EXPECT_EQ(codecDump(gif), readFile(dir + "/demo.txt"));
    std::set<Bytes> distinct;
    for (size_t i = 0; i < d.frames.size(); i++) {
        SCOPED_TRACE(i);
        const Decoded::Frame &f = d.frames[i];
        EXPECT_GE(f.transparent, 0);
        EXPECT_NE(std::count(f.pixels.begin(), f.pixels.end(), f.transparent), 0);
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%03zu.png", i);
        Png p = readPng(dir + name);
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_EQ(f.width, p.width);
        EXPECT_EQ(f.height, p.height);
        EXPECT_EQ(expectedRgba(f, d.global), p.pixels);
        distinct.insert(f.pixels);
    }
    EXPECT_EQ(d.frames.size(), distinct.size()) << "an animation has no two frames alike";
    EXPECT_FALSE(exists(dir + "/frame-" + std::to_string(1000 + d.frames.size()).substr(1) + ".png"));
    for (const char *named : {"demo.gif", "demo.txt", "frame-000.png"})
        EXPECT_NE(run.out.find(named), std::string::npos) << run.out;
}

TEST_F(CliOutputs, DemoBuildsSavesReloadsAndWritesItsOutputs)
{
    std::string dir = path("demo here");
    checkDemo(dir, tool({"demo", dir}));
    checkDemo(dir, tool({"demo", dir}));  // again, over its own files
}

TEST_F(CliOutputs, NoArgumentsRunsTheDemoIntoOutDemo)
{
    checkDemo(path("out/demo"), tool({}));
}

}  // namespace
}  // namespace clitest

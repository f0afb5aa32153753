// The tool as a viewer: "frames --composite" against ImageMagick's coalesced
// frames on animations made by ImageMagick, gifsicle and giflib, and the one
// transparent index that info, png and frames report.
#include "tests/cli/support.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace clitest {
namespace {

class CliViewer : public CliTest {
protected:
    // The tool's frames and ImageMagick's, pixel for pixel where visible,
    // and the delays. Collects the disposals and transparency the tool saw.
    void expectAsImageMagickShowsIt(const std::string &name)
    {
        SCOPED_TRACE(name);
        const std::string gif = path(name), ours = path(name + ".ours"), theirs = path(name + ".im");
        ToolRun run = tool({"frames", "--composite", gif, ours});
        ASSERT_TRUE(exitedCleanly(run));
        ASSERT_EQ(0, run.status) << run.err;
        ASSERT_EQ(0, mkdir(theirs.c_str(), 0755));
        ToolRun im = runProgram({GIFQVR_CONVERT, gif, "-coalesce", "PNG32:" + theirs + "/frame-%03d.png"});
        ASSERT_EQ(0, im.status) << im.err;
        ToolRun delays = runProgram({GIFQVR_CONVERT, gif, "-format", "%T\n", "info:"});
        ASSERT_EQ(0, delays.status) << delays.err;

        std::istringstream lines(run.out), delay(delays.out);
        std::string want;
        size_t n = 0;
        for (; std::getline(delay, want); n++) {
            SCOPED_TRACE("frame " + std::to_string(n));
            EXPECT_TRUE(sameVisible(readPng(frameFile(theirs, n)), readPng(frameFile(ours, n))));
            std::string line;
            while (std::getline(lines, line) && line.find("  note: ") == 0) {
            }
            EXPECT_EQ(0u, line.find(frameFile(ours, n) + "  delay " + want + "/100 s, ")) << line;
            size_t at = line.find("disposal ");
            if (at != std::string::npos)
                disposals.insert(line.substr(at + 9, 1));
            transparency |= line.find("no transparent index") == std::string::npos;
        }
        EXPECT_GE(n, 2u);
        EXPECT_FALSE(exists(frameFile(ours, n)));
    }

    std::set<std::string> disposals;
    bool transparency = false;
};

TEST_F(CliViewer, CompositeFramesAreImageMagicksCoalescedFrames)
{
    // ImageMagick: a transparent first frame (its loop extension sits between
    // the graphic control and the image), disposal to previous and to
    // background, local tables, a frame partly outside the screen.
    const std::vector<std::string> frames = {
        "-loop", "0", "-delay", "5", "-dispose", "none", "-size", "48x36", "xc:none", "-fill", "navy",
        "-draw", "rectangle 0,0 30,35", "-dispose", "previous", "-delay", "7", "-page", "+6+4", "-size", "20x16",
        "xc:none", "-fill", "red", "-draw", "circle 10,8 10,2", "-dispose", "background", "-page", "+30+20",
        "-size", "24x20", "gradient:green-yellow", "-dispose", "none", "-delay", "3", "-page", "+2+18",
        "-size", "16x12", "xc:none", "-fill", "white", "-draw", "rectangle 2,2 12,9"};
    for (const char *name : {"magick.gif", "magick-interlaced.gif"}) {
        std::vector<std::string> argv = {GIFQVR_CONVERT};
        argv.insert(argv.end(), frames.begin(), frames.end());
        if (std::string(name) == "magick-interlaced.gif")
            argv.insert(argv.end(), {"-interlace", "Line"});
        argv.push_back(path(name));
        ToolRun made = runProgram(argv);
        ASSERT_EQ(0, made.status) << made.err;
        expectAsImageMagickShowsIt(name);
    }

    // gifsicle: the same optimised into frame differences, interlaced; and
    // frames of it placed by hand with explicit disposals.
    ToolRun optimised =
        runProgram({GIFQVR_GIFSICLE, "-O2", "--interlace", path("magick.gif"), "-o", path("gifsicle.gif")});
    ASSERT_EQ(0, optimised.status) << optimised.err;
    expectAsImageMagickShowsIt("gifsicle.gif");
    ToolRun placed = runProgram({GIFQVR_GIFSICLE, "--logical-screen", "40x30", "-d", "4", "--disposal=previous",
                                 "--position", "10,5", path("magick.gif"), "#1", "--disposal=background",
                                 "--position", "30,18", "#2", "--disposal=none", "--position", "0,0", "#0", "-o",
                                 path("placed.gif")});
    ASSERT_EQ(0, placed.status) << placed.err;
    expectAsImageMagickShowsIt("placed.gif");

    // giflib's encoder: every disposal, local tables, interlacing, images
    // past the screen's edge, two graphic controls before one image (the
    // last counts) and a comment between a graphic control and its image.
    GifSpec s{40, 30, colours(16, 1)};
    s.control(-1, 6, 0).add(image(0, 0, 40, 30, 16, 3))
        .control(5, 6, 1).add(image(4, 3, 20, 15, 8, 2, true, colours(8, 2)))
        .control(2, 9, 2).add(image(30, 22, 20, 15, 16, 5))
        .control(1, 4, 1).control(3, 8, 3).add(image(8, 6, 24, 18, 4, 7, false, colours(4, 3)))
        .control(0, 5, 3).add(Extension{0xFE, {"between"}}).add(image(35, 0, 9, 40, 16, 1, true))
        .control(-1, 2, 1).add(image(2, 2, 6, 6, 16, 4));
    writeGif(path("giflib.gif"), s);
    expectAsImageMagickShowsIt("giflib.gif");

    EXPECT_EQ((std::set<std::string>{"0", "1", "2", "3"}), disposals);
    EXPECT_TRUE(transparency);
}

TEST_F(CliViewer, InfoPngAndFramesReportTheIndexThePluginsMaskUses)
{
    // Before the first image: a graphic control whose first sub-block is too
    // short to carry an index (the mask's rule skips it, a viewer reads no
    // transparency) and a second sub-block naming 3. Before the second: a
    // graphic control naming 2, then a comment, which masks read instead.
    GifSpec s{6, 4, colours(4, 9)};
    s.add(Extension{0xF9, {std::string("\x01\x00\x00", 3), std::string("\x01\x00\x00\x03", 4)}})
        .add(image(0, 0, 6, 4, 4, 1))
        .control(2)
        .add(Extension{0xFE, {"note"}})
        .add(image(0, 0, 6, 4, 4, 2));
    const std::string gif = path("rule.gif");
    writeGif(gif, s);
    Decoded d = decodeGif(gif);
    ASSERT_TRUE(d.ok) << d.error;
    const std::string first = "image 0 (block 1): the plug-in's mask makes index 3 transparent (from block 0); "
                              "a viewer makes nothing transparent (graphic control in block 0)";
    const std::string second = "image 1 (block 4): the plug-in's mask makes nothing transparent; a viewer makes "
                               "index 2 transparent (graphic control in block 2)";

    ToolRun info = tool({"info", gif});
    ASSERT_TRUE(exitedCleanly(info));
    ASSERT_EQ(0, info.status) << info.err;
    EXPECT_NE(info.out.find("    1  image 6x4 at (0,0), not interlaced, no local table, transparent index 3\n"
                            "       note: " + first + "\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("no transparent index\n       note: " + second + "\n"), std::string::npos) << info.out;

    ToolRun png = tool({"png", gif, path("first.png")});
    ASSERT_TRUE(exitedCleanly(png));
    ASSERT_EQ(0, png.status) << png.err;
    Decoded::Frame masked = d.frames[0];
    masked.transparent = 3;
    size_t clear = static_cast<size_t>(std::count(masked.pixels.begin(), masked.pixels.end(), 3));
    ASSERT_GT(clear, 0u);
    EXPECT_EQ(path("first.png") + ": 6x4 RGBA, transparent index 3, " + std::to_string(clear) +
                  " transparent pixels\n  note: " + first + "\n", png.out);
    EXPECT_EQ(expectedRgba(masked, d.global), readPng(path("first.png")).pixels);

    ToolRun frames = tool({"frames", gif, path("frames")});
    ASSERT_TRUE(exitedCleanly(frames));
    ASSERT_EQ(0, frames.status) << frames.err;
    EXPECT_NE(frames.out.find("block 1, transparent index 3\n  note: " + first + "\n"), std::string::npos);
    EXPECT_NE(frames.out.find("block 4, opaque\n  note: " + second + "\n"), std::string::npos);
    EXPECT_EQ(expectedRgba(masked, d.global), readPng(frameFile(path("frames"), 0)).pixels);
}

}  // namespace
}  // namespace clitest

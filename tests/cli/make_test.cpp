// "make": PNG frames of every kind libpng writes become a GIF that gives
// them back exactly (through the tool and through ImageMagick) when they
// have at most 256 colours, and close when they have more.
#include "tests/cli/support.h"

#include <cmath>
#include <png.h>
#include <sys/stat.h>

namespace clitest {
namespace {

constexpr int kWidth = 32, kHeight = 24, kPixels = kWidth * kHeight;

// A photo-like picture: smooth shading with noise, thousands of colours.
Bytes photo(int width, int height)
{
    Bytes rgb;
    uint32_t noise = 12345;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            noise = noise * 1103515245u + 12345u;
            int n = static_cast<int>(noise >> 28) - 8;
            double r = 128 + 90 * std::sin(x / 9.0) + n, g = 40 + 2.5 * y + n, b = 128 + 80 * std::cos((x + y) / 13.0);
            for (double v : {r, g, b})
                rgb.push_back(static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, v)))));
        }
    return rgb;
}

double meanError(const Bytes &rgb, const Bytes &rgba)
{
    double sum = 0;
    for (size_t i = 0; i < rgb.size(); i++)
        sum += std::abs(rgb[i] - rgba[i / 3 * 4 + i % 3]);
    return sum / static_cast<double>(rgb.size());
}

// The same over the means of 4x4 blocks: what the eye sees from afar,
// which dithering keeps closer.
double blockError(const Bytes &rgb, const Bytes &rgba, int width, int height)
{
    double sum = 0;
    int blocks = 0;
    for (int by = 0; by + 4 <= height; by += 4)
        for (int bx = 0; bx + 4 <= width; bx += 4, blocks++)
            for (int c = 0; c < 3; c++) {
                int given = 0, shown = 0;
                for (int y = by; y < by + 4; y++)
                    for (int x = bx; x < bx + 4; x++) {
                        given += rgb[static_cast<size_t>((y * width + x) * 3 + c)];
                        shown += rgba[static_cast<size_t>((y * width + x) * 4 + c)];
                    }
                sum += std::abs(given - shown) / 16.0;
            }
    return sum / (3.0 * blocks);
}

class CliMake : public CliTest {};

TEST_F(CliMake, FramesOfAtMost256ColoursComeBackExactly)
{
    // RGBA with 200 colours and clear pixels; 256 grey levels; a colour-mapped
    // PNG with a clear entry; RGB stripes.
    Bytes rgba, grey, mapped, rgb, colormap;
    for (int i = 0; i < kPixels; i++) {
        uint32_t c = static_cast<uint32_t>(i % 200) * 0x010507u;
        rgba.insert(rgba.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c),
                                 static_cast<uint8_t>(i % 7 == 0 ? 0 : 255)});
        grey.push_back(static_cast<uint8_t>(i % 256));
        mapped.push_back(static_cast<uint8_t>(i / 5 % 16));
        rgb.insert(rgb.end(), {static_cast<uint8_t>(i % kWidth / 7 * 60), 0x80, static_cast<uint8_t>(i / kWidth * 9)});
    }
    for (int e = 0; e < 16; e++)
        colormap.insert(colormap.end(), {static_cast<uint8_t>(e * 16), static_cast<uint8_t>(255 - e * 3), 0x33,
                                         static_cast<uint8_t>(e == 4 ? 0 : 255)});
    const std::vector<std::string> frames = {path("rgba.png"), path("grey.png"), path("mapped.png"), path("rgb.png")};
    writePng(frames[0], kWidth, kHeight, PNG_FORMAT_RGBA, rgba);
    writePng(frames[1], kWidth, kHeight, PNG_FORMAT_GRAY, grey);
    writePng(frames[2], kWidth, kHeight, PNG_FORMAT_RGBA_COLORMAP, mapped, colormap);
    writePng(frames[3], kWidth, kHeight, PNG_FORMAT_RGB, rgb);

    const std::string gif = path("made.gif");
    std::vector<std::string> args = {"make", "--delay", "7", "--loop=3", gif};
    args.insert(args.end(), frames.begin(), frames.end());
    ToolRun made = tool(args);
    ASSERT_TRUE(exitedCleanly(made));
    ASSERT_EQ(0, made.status) << made.err;
    for (const char *line : {"rgba.png: 32x24, 201 colours, stored exactly\n", "grey.png: 32x24, 256 colours, stored exactly\n",
                             "mapped.png: 32x24, 16 colours, stored exactly\n", "made.gif: 4 frames of 32x24, "})
        EXPECT_NE(made.out.find(line), std::string::npos) << line << made.out;

    ToolRun ours = tool({"frames", "--composite", gif, path("ours")});
    ASSERT_TRUE(exitedCleanly(ours));
    ASSERT_EQ(0, ours.status) << ours.err;
    ASSERT_EQ(0, mkdir(path("im").c_str(), 0755));
    ToolRun im = runProgram({GIFQVR_CONVERT, gif, "-coalesce", "PNG32:" + path("im") + "/frame-%03d.png"});
    ASSERT_EQ(0, im.status) << im.err;
    for (size_t i = 0; i < frames.size(); i++) {
        SCOPED_TRACE(frames[i]);
        Png want = readPng(frames[i]);
        EXPECT_TRUE(sameVisible(want, readPng(frameFile(path("ours"), i))));
        EXPECT_TRUE(sameVisible(want, readPng(frameFile(path("im"), i))));
    }

    // Each image right after its graphic control, so masks and viewers
    // agree; the loop count and delay as asked.
    ToolRun info = tool({"info", gif});
    ASSERT_EQ(0, info.status) << info.err;
    EXPECT_EQ(std::string::npos, info.out.find("note:")) << info.out;
    Decoded d = decodeGif(gif);
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ(4u, d.frames.size());
    EXPECT_EQ(std::make_pair(0xFF, std::string("NETSCAPE2.0")), d.frames[0].extensions.at(0));
    EXPECT_EQ(std::make_pair(0, std::string("\x01\x03\x00", 3)), d.frames[0].extensions.at(1));
    for (const Decoded::Frame &f : d.frames) {
        ASSERT_FALSE(f.extensions.empty());
        EXPECT_EQ(0xF9, f.extensions.back().first);
        EXPECT_EQ(std::string("\x07\x00", 2), f.extensions.back().second.substr(1, 2));
    }

    ToolRun single = tool({"make", path("one.gif"), frames[3]});
    ASSERT_EQ(0, single.status) << single.err;
    Decoded one = decodeGif(path("one.gif"));
    ASSERT_TRUE(one.ok) << one.error;
    ASSERT_EQ(1u, one.frames.size());
    EXPECT_EQ(1u, one.frames[0].extensions.size()) << "a still image has no loop extension";
}

TEST_F(CliMake, AFrameOfMoreColoursIsReducedWithinAStatedError)
{
    const int width = 96, height = 64;
    const Bytes rgb = photo(width, height);
    writePng(path("photo.png"), width, height, PNG_FORMAT_RGB, rgb);
    Bytes previous;
    double plainBlockError = 0;
    for (bool dither : {false, true}) {
        SCOPED_TRACE(dither ? "dithered" : "not dithered");
        std::vector<std::string> args = {"make", path("photo.gif"), path("photo.png")};
        if (dither)
            args.insert(args.begin() + 1, "--dither");
        ToolRun run = tool(args);
        ASSERT_TRUE(exitedCleanly(run));
        ASSERT_EQ(0, run.status) << run.err;
        Decoded d = decodeGif(path("photo.gif"));
        ASSERT_TRUE(d.ok) << d.error;
        ASSERT_EQ(1u, d.frames.size());
        EXPECT_EQ(256u, d.global.size());
        Bytes shown = expectedRgba(d.frames[0], d.global);
        double error = meanError(rgb, shown);
        // Mean error per channel, 0 to 255 (ImageMagick's own reduction to
        // 256 colours gives 5.8 on this picture).
        EXPECT_LT(error, dither ? 7.0 : 6.0);
        double blocks = blockError(rgb, shown, width, height);
        if (dither) {
            EXPECT_LT(blocks, plainBlockError * 0.9);
        }
        plainBlockError = blocks;
        char reported[64];
        std::snprintf(reported, sizeof reported, "mean colour error %.2f per channel", error);
        EXPECT_NE(run.out.find(reported), std::string::npos) << reported << "\n" << run.out;
        EXPECT_NE(run.out.find(dither ? "median cut with dithering" : "median cut,"), std::string::npos) << run.out;
        EXPECT_NE(previous, shown);
        previous = shown;
    }
}

TEST_F(CliMake, FramesThatCannotBeMade)
{
    writePng(path("a.png"), 4, 3, PNG_FORMAT_GRAY, Bytes(12, 9));
    writePng(path("b.png"), 3, 4, PNG_FORMAT_GRAY, Bytes(12, 9));
    writeFile(path("c.png"), "not a png");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    for (const Case &c : std::vector<Case>{
             {{"make", path("x.gif"), path("a.png"), path("b.png")}, 1, path("b.png") + ": 3x4, not the first frame's 4x3"},
             {{"make", path("x.gif"), path("c.png")}, 1, path("c.png") + ": not a PNG file"},
             {{"make", path("a.png"), path("a.png")}, 1, path("a.png") + ": is the input file"},
             {{"make", "--delay", "65536", path("x.gif"), path("a.png")}, 2, "--delay takes a number from 0 to 65535"},
             {{"info", "--dither", path("x.gif")}, 2, "info takes no option --dither"},
         }) {
        SCOPED_TRACE(c.args[1]);
        ToolRun run = tool(c.args);
        ASSERT_TRUE(exitedCleanly(run));
        EXPECT_EQ(c.status, run.status);
        EXPECT_EQ(0u, run.err.find("gifqvr: ")) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_FALSE(exists(path("x.gif")));
    EXPECT_EQ(9, readPng(path("a.png")).pixels.at(0));
}

}  // namespace
}  // namespace clitest

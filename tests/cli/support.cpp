#include "tests/cli/support.h"

#include "codec/gif.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gif_lib.h>
#include <png.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace clitest {

namespace fs = std::filesystem;

ToolRun runTool(const std::vector<std::string> &args, const std::string &cwd,
            const std::map<std::string, std::string> &env)
{
    std::vector<std::string> argv = {GIFQVR_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, cwd, env);
}

ToolRun runProgram(const std::vector<std::string> &given, const std::string &cwd,
                   const std::map<std::string, std::string> &env)
{
    ToolRun run;
    char outName[] = "/tmp/gifqvr-cli-out-XXXXXX";
    char errName[] = "/tmp/gifqvr-cli-err-XXXXXX";
    int out = mkstemp(outName);
    int err = mkstemp(errName);
    if (out < 0 || err < 0) {
        ADD_FAILURE() << "mkstemp: " << std::strerror(errno);
        return run;
    }
    std::vector<std::string> argv = given;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out, 1);
        dup2(err, 2);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(120);
        for (const auto &[name, value] : env) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char *> raw;
        for (std::string &a : argv)
            raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(121);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.signal = WTERMSIG(status);
    close(out);
    close(err);
    run.out = readFile(outName);
    run.err = readFile(errName);
    unlink(outName);
    unlink(errName);
    return run;
}

::testing::AssertionResult exitedCleanly(const ToolRun &run)
{
    if (run.signal)
        return ::testing::AssertionFailure() << "killed by signal " << run.signal << "\n" << run.err;
    for (const char *mark : {"Sanitizer", "runtime error", "internal error", "LeakSanitizer"})
        if (run.err.find(mark) != std::string::npos)
            return ::testing::AssertionFailure() << "stderr holds \"" << mark << "\":\n" << run.err;
    if (run.status < 0 || run.status > 3)
        return ::testing::AssertionFailure() << "exit status " << run.status << "\n" << run.err;
    return ::testing::AssertionSuccess();
}

GifSpec &GifSpec::add(const Image &image)
{
    Block b;
    b.isImage = true;
    b.image = image;
    blocks.push_back(b);
    return *this;
}

GifSpec &GifSpec::add(const Extension &extension)
{
    Block b;
    b.extension = extension;
    blocks.push_back(b);
    return *this;
}

GifSpec &GifSpec::control(int transparent, int delay, int disposal)
{
    std::string gce = {static_cast<char>(disposal << 2 | (transparent >= 0 ? 1 : 0)), static_cast<char>(delay & 0xFF),
                       static_cast<char>(delay >> 8), static_cast<char>(transparent >= 0 ? transparent : 0)};
    return add(Extension{0xF9, {gce}});
}

Table colours(int count, uint32_t seed)
{
    Table t;
    for (int i = 0; i < count; i++)
        t.push_back((seed * 2654435761u + static_cast<uint32_t>(i) * 0x9E3779u) & 0xFFFFFF);
    return t;
}

Image image(int left, int top, int width, int height, int modulo, int seed, bool interlace, Table local)
{
    Image im;
    im.left = left;
    im.top = top;
    im.width = width;
    im.height = height;
    im.interlace = interlace;
    im.local = std::move(local);
    for (int i = 0; i < width * height; i++)
        im.pixels.push_back(static_cast<uint8_t>((i * seed + i / 7 + seed) % modulo));
    return im;
}

namespace {

ColorMapObject *makeMap(const Table &table)
{
    if (table.empty())
        return nullptr;
    std::vector<GifColorType> colours;
    for (uint32_t c : table)
        colours.push_back({static_cast<GifByteType>(c >> 16), static_cast<GifByteType>(c >> 8),
                           static_cast<GifByteType>(c)});
    return GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
}

int depthOf(size_t entries)
{
    int depth = 1;
    while ((size_t(1) << depth) < entries)
        depth++;
    return depth;
}

std::vector<int> fileRowOrder(int height, bool interlace)
{
    std::vector<int> rows;
    if (!interlace) {
        for (int y = 0; y < height; y++)
            rows.push_back(y);
        return rows;
    }
    const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; pass++)
        for (int y = start[pass]; y < height; y += step[pass])
            rows.push_back(y);
    return rows;
}

Table tableOf(const ColorMapObject *map)
{
    Table t;
    if (map)
        for (int i = 0; i < map->ColorCount; i++)
            t.push_back(static_cast<uint32_t>(map->Colors[i].Red) << 16 |
                        static_cast<uint32_t>(map->Colors[i].Green) << 8 | map->Colors[i].Blue);
    return t;
}

}  // namespace

void writeGif(const std::string &path, const GifSpec &spec)
{
    int error = 0;
    GifFileType *gif = EGifOpenFileName(path.c_str(), false, &error);
    ASSERT_NE(gif, nullptr) << GifErrorString(error);
    EGifSetGifVersion(gif, true);
    ColorMapObject *global = makeMap(spec.global);
    int res = spec.global.empty() ? 8 : depthOf(spec.global.size());
    ASSERT_EQ(GIF_OK, EGifPutScreenDesc(gif, spec.width, spec.height, res, spec.background, global));
    GifFreeMapObject(global);
    for (const Block &b : spec.blocks) {
        if (!b.isImage) {
            const Extension &e = b.extension;
            ASSERT_EQ(GIF_OK, EGifPutExtensionLeader(gif, e.label));
            for (const std::string &s : e.subBlocks)
                ASSERT_EQ(GIF_OK, EGifPutExtensionBlock(gif, static_cast<int>(s.size()), s.data()));
            ASSERT_EQ(GIF_OK, EGifPutExtensionTrailer(gif));
            continue;
        }
        const Image &im = b.image;
        ASSERT_EQ(im.pixels.size(), static_cast<size_t>(im.width * im.height));
        ColorMapObject *local = makeMap(im.local);
        // giflib drops, without freeing, the previous image's table when
        // an image comes without one.
        if (!local && gif->Image.ColorMap) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        ASSERT_EQ(GIF_OK, EGifPutImageDesc(gif, im.left, im.top, im.width, im.height, im.interlace, local));
        GifFreeMapObject(local);
        for (int y : fileRowOrder(im.height, im.interlace)) {
            Bytes row(im.pixels.begin() + y * im.width, im.pixels.begin() + (y + 1) * im.width);
            ASSERT_EQ(GIF_OK, EGifPutLine(gif, row.data(), im.width));
        }
    }
    ASSERT_EQ(GIF_OK, EGifCloseFile(gif, &error)) << GifErrorString(error);
}

Decoded decodeGif(const std::string &path)
{
    Decoded d;
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) {
        d.error = GifErrorString(error);
        return d;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        d.error = GifErrorString(gif->Error);
        DGifCloseFile(gif, &error);
        return d;
    }
    d.width = gif->SWidth;
    d.height = gif->SHeight;
    d.background = gif->SBackGroundColor;
    d.global = tableOf(gif->SColorMap);
    for (int i = 0; i < gif->ImageCount; i++) {
        const SavedImage &s = gif->SavedImages[i];
        Decoded::Frame f;
        f.left = s.ImageDesc.Left;
        f.top = s.ImageDesc.Top;
        f.width = s.ImageDesc.Width;
        f.height = s.ImageDesc.Height;
        f.interlace = s.ImageDesc.Interlace;
        f.local = tableOf(s.ImageDesc.ColorMap);
        f.pixels.assign(s.RasterBits, s.RasterBits + static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
        for (int e = 0; e < s.ExtensionBlockCount; e++) {
            const ExtensionBlock &x = s.ExtensionBlocks[e];
            f.extensions.push_back({x.Function, std::string(reinterpret_cast<char *>(x.Bytes),
                                                            static_cast<size_t>(x.ByteCount))});
        }
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK)
            f.transparent = gcb.TransparentColor;
        d.frames.push_back(f);
    }
    DGifCloseFile(gif, &error);
    d.ok = true;
    return d;
}

Bytes expectedRgba(const Decoded::Frame &frame, const Table &global)
{
    const Table &table = frame.local.empty() ? global : frame.local;
    Bytes out;
    for (uint8_t index : frame.pixels) {
        uint32_t c = index < table.size() ? table[index] : 0;
        out.push_back(static_cast<uint8_t>(c >> 16));
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(index == frame.transparent ? 0 : 255);
    }
    return out;
}

Png readPng(const std::string &path)
{
    Png p;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        p.error = image.message;
        return p;
    }
    p.rgba = (image.format & PNG_FORMAT_FLAG_ALPHA) && (image.format & PNG_FORMAT_FLAG_COLOR);
    p.width = static_cast<int>(image.width);
    p.height = static_cast<int>(image.height);
    image.format = PNG_FORMAT_RGBA;
    p.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, p.pixels.data(), 0, nullptr)) {
        p.error = image.message;
        png_image_free(&image);
        return p;
    }
    p.ok = true;
    return p;
}

void writePng(const std::string &path, int width, int height, unsigned format, const Bytes &pixels,
              const Bytes &colormap)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    image.colormap_entries = static_cast<png_uint_32>(colormap.size() / 4);
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0,
                                        colormap.empty() ? nullptr : colormap.data()))
        << image.message;
}

::testing::AssertionResult sameVisible(const Png &want, const Png &got)
{
    if (!want.ok || !got.ok)
        return ::testing::AssertionFailure() << "unreadable PNG: " << want.error << got.error;
    if (want.width != got.width || want.height != got.height)
        return ::testing::AssertionFailure() << "size " << got.width << "x" << got.height << ", not "
                                             << want.width << "x" << want.height;
    size_t differ = 0, first = 0;
    for (size_t i = 0; i < want.pixels.size(); i += 4) {
        bool same = want.pixels[i + 3] == got.pixels[i + 3] &&
                    (want.pixels[i + 3] == 0 || std::equal(&want.pixels[i], &want.pixels[i + 3], &got.pixels[i]));
        if (!same && differ++ == 0)
            first = i;
    }
    if (differ == 0)
        return ::testing::AssertionSuccess();
    auto rgba = [](const Bytes &p, size_t i) {
        char text[16];
        std::snprintf(text, sizeof text, "%02X%02X%02X/%02X", p[i], p[i + 1], p[i + 2], p[i + 3]);
        return std::string(text);
    };
    size_t pixel = first / 4;
    return ::testing::AssertionFailure() << differ << " pixels differ; the first at (" << pixel % want.width << ","
                                         << pixel / want.width << "): " << rgba(got.pixels, first) << ", not "
                                         << rgba(want.pixels, first);
}

std::string frameFile(const std::string &dir, size_t n)
{
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%03zu.png", n);
    return dir + name;
}

std::string codecDump(const std::string &path)
{
    FILE *in = std::fopen(path.c_str(), "rb");
    if (!in)
        return "cannot open " + path;
    GifStream stream = {nullptr, 0, 0, in};
    Gif *gif = new_gif();
    read_gif(&stream, gif);
    std::fclose(in);
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    print_gif(out, gif);
    std::fclose(out);
    del_gif(gif);
    std::string dump(text, size);
    std::free(text);
    return dump;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

bool exists(const std::string &path)
{
    return access(path.c_str(), F_OK) == 0;
}

void CliTest::SetUp()
{
    std::string pattern = (fs::temp_directory_path() / "gifqvr-cli-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    dir_ = name.data();
}

void CliTest::TearDown()
{
    if (!HasFailure()) {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    } else {
        std::printf("files kept in %s\n", dir_.c_str());
    }
}

}  // namespace clitest

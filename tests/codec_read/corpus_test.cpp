// Files made by real encoders (giflib's, ImageMagick's, gifsicle's): every
// image and table must equal giflib's decode; mutated copies must read as
// the plain decoder reads them; and an exhausted heap at any allocation
// must end the reading cleanly with the blocks complete so far.
//
// This program's calloc and realloc are wrapped (see CMakeLists.txt) so
// that the heap can be made to run out.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codec/gif.h"
#include "support.h"

namespace {

struct Heap {
    bool armed = false;
    long calls = 0;
    long fail_at = -1;    // the call that fails while armed
    size_t budget = 0;    // bytes handed out while armed before all fail
    size_t given = 0;
    bool refused = false;
} heap;

bool refuse(size_t bytes) {
    if (!heap.armed) return false;
    heap.given += bytes;
    if (++heap.calls == heap.fail_at || (heap.budget && heap.given > heap.budget)) heap.refused = true;
    return heap.calls == heap.fail_at || (heap.budget && heap.given > heap.budget);
}

}  // namespace

extern "C" void *__real_calloc(size_t n, size_t size);
extern "C" void *__real_realloc(void *p, size_t size);
extern "C" void *__wrap_calloc(size_t n, size_t size) { return refuse(n * size) ? NULL : __real_calloc(n, size); }
extern "C" void *__wrap_realloc(void *p, size_t size) { return refuse(size) ? NULL : __real_realloc(p, size); }

namespace {

using readtest::Bytes;
using readtest::GifPtr;

std::string shell_quote(const std::string &s) { return "'" + s + "'"; }

// Written once per test program by the native generator.
const std::string &corpus_dir() {
    static const std::string dir = [] {
        std::string d = "codec_read_corpus";
        std::string command = shell_quote(std::string(GIFQVR_TOOLS_DIR) + "/tools/gif_corpus") + " conformance " + d;
        if (system(command.c_str()) != 0) ADD_FAILURE() << "corpus generation failed: " << command;
        return d;
    }();
    return dir;
}

std::vector<std::string> corpus_files() {
    std::vector<std::string> names;
    if (DIR *d = opendir(corpus_dir().c_str())) {
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".gif") == 0) names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bytes corpus_file(const std::string &name) { return readtest::file_bytes(corpus_dir() + "/" + name); }

// What giflib made of a file; the layout is described in tools/gif_oracle.cpp.
struct Oracle {
    struct Block {
        char kind = 0;
        int label = 0;
        std::vector<Bytes> data;
        int left = 0, top = 0, width = 0, height = 0, interlace = 0, sorted = 0, complete = 0;
        Bytes table, pixels;
    };
    char header[6] = {};
    int width = 0, height = 0, color_res = 0, bg = 0, aspect = 0, sorted = 0;
    Bytes table;
    std::vector<Block> blocks;
    int gave_up = -1;
};

class Reader {
public:
    explicit Reader(const Bytes &b) : b_(b) {}
    bool ok() const { return ok_; }
    int i32() {
        Bytes four = take(4);
        return ok_ ? (int)(four[0] | four[1] << 8 | four[2] << 16 | (unsigned)four[3] << 24) : 0;
    }
    int byte() { return ok_ && at_ < b_.size() ? b_[at_++] : (ok_ = false, 0); }
    Bytes take(size_t n) {
        if (at_ + n > b_.size()) {
            ok_ = false;
            return Bytes(n, 0);
        }
        at_ += n;
        return Bytes(b_.begin() + (long)(at_ - n), b_.begin() + (long)at_);
    }

private:
    const Bytes &b_;
    size_t at_ = 0;
    bool ok_ = true;
};

bool ask_giflib(const std::string &path, Oracle *o) {
    std::string command = shell_quote(std::string(GIFQVR_TOOLS_DIR) + "/tools/gif_oracle") + " " + shell_quote(path);
    FILE *p = popen(command.c_str(), "r");
    if (!p) return false;
    Bytes out;
    unsigned char chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, p)) > 0;) out.insert(out.end(), chunk, chunk + n);
    if (pclose(p) != 0) return false;
    Reader r(out);
    Bytes header = r.take(6);
    memcpy(o->header, header.data(), 6);
    o->width = r.i32();
    o->height = r.i32();
    o->color_res = r.i32();
    o->bg = r.i32();
    o->aspect = r.i32();
    o->sorted = r.i32();
    o->table = r.take(3 * (size_t)r.i32());
    while (r.ok()) {
        int kind = r.byte();
        if (kind == 'E') {
            o->gave_up = r.i32();
            break;
        }
        Oracle::Block b;
        b.kind = (char)kind;
        if (kind == 'X') {
            b.label = r.i32();
            int count = r.i32();
            for (int k = 0; k < count && r.ok(); k++) b.data.push_back(r.take((size_t)r.i32()));
        } else if (kind == 'I') {
            b.left = r.i32();
            b.top = r.i32();
            b.width = r.i32();
            b.height = r.i32();
            b.interlace = r.i32();
            b.sorted = r.i32();
            b.table = r.take(3 * (size_t)r.i32());
            b.complete = r.i32();
            b.pixels = r.take((size_t)b.width * (size_t)b.height);
        } else {
            return false;
        }
        o->blocks.push_back(b);
    }
    return r.ok() && o->gave_up >= 0;
}

Bytes table_bytes(const GifPalette *p) {
    Bytes rgb;
    for (int i = 0; i < p->length; i++) rgb.insert(rgb.end(), {p->colours[i].red, p->colours[i].green, p->colours[i].blue});
    return rgb;
}

void expect_as_giflib(const Gif *gif, const Oracle &o) {
    EXPECT_EQ(memcmp(gif->header, o.header, 6), 0);
    const GifScreen *s = gif->screen;
    EXPECT_EQ(s->width, o.width);
    EXPECT_EQ(s->height, o.height);
    EXPECT_EQ(s->color_res, o.color_res);
    EXPECT_EQ(s->bgcolour, o.bg);
    EXPECT_EQ(s->aspect, o.aspect);
    EXPECT_EQ(s->has_cmap ? s->sorted : 0, o.sorted);
    EXPECT_EQ(table_bytes(s->cmap), o.table);

    // Where giflib gave up inside an image descriptor it reports nothing of
    // it; the codec keeps what it read.
    int count = (int)o.blocks.size();
    if (o.gave_up)
        EXPECT_TRUE(gif->block_count == count || gif->block_count == count + 1) << gif->block_count << " vs " << count;
    else
        EXPECT_EQ(gif->block_count, count);
    for (int i = 0; i < count && i < gif->block_count; i++) {
        SCOPED_TRACE("block " + std::to_string(i));
        const Oracle::Block &want = o.blocks[(size_t)i];
        const GifBlock *got = gif->blocks[i];
        bool last_cut = o.gave_up && i == count - 1;
        if (want.kind == 'X') {
            ASSERT_EQ(got->intro, 0x21);
            EXPECT_EQ(got->ext->marker, want.label);
            // A sub-block cut short is kept by the codec, padded with zeros.
            int n = (int)want.data.size();
            if (last_cut)
                ASSERT_GE(got->ext->data_count, n);
            else
                ASSERT_EQ(got->ext->data_count, n);
            for (int k = 0; k < n; k++)
                EXPECT_EQ(Bytes(got->ext->data[k]->bytes, got->ext->data[k]->bytes + got->ext->data[k]->length),
                          want.data[(size_t)k]);
            continue;
        }
        ASSERT_EQ(got->intro, 0x2C);
        const GifPicture *p = got->pic;
        EXPECT_EQ(p->left, want.left);
        EXPECT_EQ(p->top, want.top);
        ASSERT_EQ(p->width, want.width);
        ASSERT_EQ(p->height, want.height);
        EXPECT_EQ(p->interlace, want.interlace);
        EXPECT_EQ(p->has_cmap ? p->sorted : 0, want.sorted);
        EXPECT_EQ(p->has_cmap, want.table.empty() ? 0 : 1);
        EXPECT_EQ(table_bytes(p->cmap), want.table);
        ASSERT_NE(p->rows, nullptr);
        // Rows giflib decoded in full, in the order the data holds them.
        std::vector<int> order = readtest::file_row_order(p->height, p->interlace);
        int rows = want.complete < p->height ? want.complete : p->height;
        EXPECT_TRUE(last_cut || rows == p->height);
        for (int k = 0; k < rows; k++) {
            int r = order[(size_t)k];
            ASSERT_EQ(memcmp(p->rows[r], &want.pixels[(size_t)r * (size_t)p->width], (size_t)p->width), 0)
                << "row " << r;
        }
    }
}

TEST(Conformance, EveryFileReadsAsGiflibReadsIt) {
    std::vector<std::string> names = corpus_files();
    ASSERT_GE(names.size(), 40u);
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        Oracle o;
        ASSERT_TRUE(ask_giflib(corpus_dir() + "/" + name, &o));
        Bytes bytes = corpus_file(name);
        GifPtr gif = readtest::read_memory(bytes);
        expect_as_giflib(gif.get(), o);
        EXPECT_EQ(readtest::gif_difference(gif.get(), readtest::read_through_file(bytes).get()), "");
        EXPECT_EQ(readtest::gif_difference(gif.get(), readtest::read_row_by_row(bytes).get()), "");
    }
}

// Random changes to real files reach the decoder's defect paths. A changed
// image size can ask for gigabytes, so the heap is capped meanwhile; when it
// refuses, the plain decoder is not asked.
TEST(Mutation, DamagedFilesReadAsThePlainDecoderReadsThem) {
    uint32_t seed = 2024;
    auto rnd = [&] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
    int compared = 0;
    for (const std::string &name : corpus_files()) {
        Bytes original = corpus_file(name);
        if (original.size() > 40000) continue;
        for (int m = 0; m < 60; m++) {
            Bytes bytes = original;
            int changes = 1 + (int)(rnd() % 4);
            for (int k = 0; k < changes; k++) bytes[6 + rnd() % (bytes.size() - 6)] = (unsigned char)rnd();
            if (m % 5 == 0) bytes.resize(6 + rnd() % (bytes.size() - 6));
            heap = Heap();
            heap.budget = 64u << 20;
            heap.armed = true;
            GifPtr ours = readtest::read_memory(bytes);
            heap.armed = false;
            if (heap.refused) continue;
            ASSERT_EQ(readtest::gif_difference(ours.get(), readtest::reference_read(bytes).get()), "")
                << name << " mutant " << m;
            compared++;
        }
    }
    EXPECT_GT(compared, 1000);
}

// Reading with the heap failing at call n, for every n up to what reading
// the whole file takes: what is kept must be whole and equal to the full
// reading, except that a picture whose rows could not be made keeps none.
TEST(ExhaustedHeap, EveryAllocationOfRealFiles) {
    for (const char *name : {"g_animation_offsets.gif", "g_extensions.gif", "m_animation.gif", "s_plasma_4.gif"}) {
        SCOPED_TRACE(name);
        Bytes bytes = corpus_file(name);
        GifPtr full = readtest::read_memory(bytes);
        heap = Heap();
        heap.armed = true;
        readtest::read_memory(bytes);
        heap.armed = false;
        long total = heap.calls;
        ASSERT_GT(total, 10);
        for (long n = 1; n <= total; n++) {
            Gif *gif = new_gif();
            GifStream s = {bytes.data(), (int32_t)bytes.size(), 0, nullptr};
            heap = Heap();
            heap.fail_at = n;
            heap.armed = true;
            read_gif(&s, gif);
            heap.armed = false;
            ASSERT_LE(gif->block_count, full->block_count) << n;
            // A global table that could not be made leaves none, and no blocks.
            const GifPalette *table = gif->screen->cmap;
            if (table->length != full->screen->cmap->length) {
                EXPECT_EQ(table->length, 0);
                EXPECT_EQ(table->colours, nullptr);
                EXPECT_EQ(gif->block_count, 0);
            } else {
                EXPECT_EQ(table_bytes(table), table_bytes(full->screen->cmap));
            }
            for (int i = 0; i < gif->block_count; i++) {
                GifBlock *got = gif->blocks[i];
                const GifBlock *want = full->blocks[i];
                bool rowless = got->pic && !got->pic->rows;
                if (rowless) {
                    ASSERT_EQ(i, gif->block_count - 1) << n;
                    got->pic->rows = want->pic->rows;  // compare the rest
                }
                Gif one = *full;
                one.block_count = 1;
                one.blocks = &got;
                Gif other = one;
                GifBlock *w = const_cast<GifBlock *>(want);
                other.blocks = &w;
                EXPECT_EQ(readtest::gif_difference(&one, &other), "") << "failing call " << n << ", block " << i;
                if (rowless) got->pic->rows = nullptr;
            }
            del_gif(gif);
        }
    }
}

}  // namespace

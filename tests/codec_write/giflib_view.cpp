// 64-bit inode numbers: without this, readdir on a 32-bit build gives up
// with EOVERFLOW on file systems that use them.
#define _FILE_OFFSET_BITS 64

#include "tests/codec_write/giflib_view.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

namespace {

std::string Quote(const std::string &s) { return "'" + s + "'"; }

class Answer {
public:
    explicit Answer(std::string bytes) : b_(std::move(bytes)) {}
    bool ok() const { return ok_; }
    std::string Take(size_t n) {
        if (!ok_ || at_ + n > b_.size()) {
            ok_ = false;
            return std::string(n, '\0');
        }
        at_ += n;
        return b_.substr(at_ - n, n);
    }
    int Byte() { return static_cast<unsigned char>(Take(1)[0]); }
    int Int() {
        std::string s = Take(4);
        uint32_t v = 0;
        for (int i = 3; i >= 0; i--) v = v << 8 | static_cast<unsigned char>(s[i]);
        return static_cast<int>(v);
    }
    std::vector<ViewColour> Table() {
        int n = Int();
        std::vector<ViewColour> out;
        for (int i = 0; ok_ && i < n; i++) {
            std::string rgb = Take(3);
            out.push_back({static_cast<unsigned char>(rgb[0]), static_cast<unsigned char>(rgb[1]),
                           static_cast<unsigned char>(rgb[2])});
        }
        return out;
    }

private:
    std::string b_;
    size_t at_ = 0;
    bool ok_ = true;
};

}  // namespace

std::vector<const GiflibBlock *> GiflibFile::Images() const {
    std::vector<const GiflibBlock *> out;
    for (const GiflibBlock &b : blocks)
        if (b.kind == 'I') out.push_back(&b);
    return out;
}

// Layout of the oracle's answer: see the reader's tools/gif_oracle.cpp.
GiflibFile GiflibDecode(const std::string &path) {
    GiflibFile out;
    std::string command = Quote(std::string(GIFQVR_TOOLS_DIR) + "/tools/gif_oracle") + " " + Quote(path);
    FILE *p = popen(command.c_str(), "r");
    if (!p) {
        out.error = "cannot run " + command;
        return out;
    }
    std::string bytes;
    char chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, p)) > 0;) bytes.append(chunk, n);
    if (pclose(p) != 0) {
        out.error = "giflib cannot open " + path;
        return out;
    }
    Answer a(bytes);
    out.header = a.Take(6);
    out.width = a.Int();
    out.height = a.Int();
    out.color_res = a.Int();
    out.background = a.Int();
    out.aspect = a.Int();
    out.sorted = a.Int() != 0;
    out.global = a.Table();
    for (;;) {
        int kind = a.Byte();
        if (!a.ok()) break;
        if (kind == 'E') {
            out.gave_up = a.Int() != 0;
            out.ok = a.ok();
            break;
        }
        GiflibBlock b;
        b.kind = static_cast<char>(kind);
        if (kind == 'X') {
            b.label = a.Int();
            int count = a.Int();
            for (int i = 0; a.ok() && i < count; i++) b.data.push_back(a.Take(static_cast<size_t>(a.Int())));
        } else if (kind == 'I') {
            b.left = a.Int();
            b.top = a.Int();
            b.width = a.Int();
            b.height = a.Int();
            b.interlace = a.Int() != 0;
            b.sorted = a.Int() != 0;
            b.local = a.Table();
            b.complete = a.Int();
            std::string px = a.Take(static_cast<size_t>(b.width) * static_cast<size_t>(b.height));
            b.pixels.assign(px.begin(), px.end());
        } else {
            break;
        }
        out.blocks.push_back(b);
    }
    if (!out.ok) out.error = "incomplete answer from the oracle for " + path;
    return out;
}

std::vector<std::string> CorpusFiles() {
    static const std::string dir = [] {
        std::string d = "codec_write_corpus";
        // The generator is a sanitized native tool; its leaks are not ours.
        std::string command = "ASAN_OPTIONS=detect_leaks=0 " +
                              Quote(std::string(GIFQVR_TOOLS_DIR) + "/tools/gif_corpus") + " conformance " + d;
        if (system(command.c_str()) != 0) ADD_FAILURE() << "corpus generation failed: " << command;
        return d;
    }();
    std::vector<std::string> out;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".gif") == 0) out.push_back(dir + "/" + n);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Encoding speed and output size: write_gif of each decoded corpus file to a
// FILE against giflib's EGifPutLine encoder, interleaved in one run.
//
// Usage: encode_bench [corpus-dir] [rounds]
// Prints per file the pixel throughput of both, their ratio, the output
// sizes and their ratio; best of `rounds` runs each (default 15), in CPU time.
#include <dirent.h>
#include <gif_lib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codec/gif.h"

#ifndef GIFQVR_CORPUS_DIR
#define GIFQVR_CORPUS_DIR "corpus"
#endif

namespace {

// CPU time of the process: on a shared machine, time spent waiting for a
// core is not charged to whichever encoder happened to be running.
double Now() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

long FileSize(const char *path) {
    struct stat st;
    return stat(path, &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

void WriteOurs(Gif *gif, const char *path) {
    FILE *f = fopen(path, "wb");
    if (!f) return;
    GifStream s = {};
    s.stream_file = f;
    write_gif(&s, gif);
    fclose(f);
}

// The same file through giflib's own encoder: screen, extensions, images
// with their lines in storage order, trailer.
bool WriteGiflib(GifFileType *in, const char *path, std::vector<GifPixelType> &line) {
    int err = 0;
    GifFileType *out = EGifOpenFileName(path, false, &err);
    if (!out) return false;
    EGifSetGifVersion(out, true);
    bool ok = EGifPutScreenDesc(out, in->SWidth, in->SHeight, in->SColorResolution,
                                in->SBackGroundColor, in->SColorMap) == GIF_OK;
    auto put_extensions = [&](int count, ExtensionBlock *blocks) {
        for (int i = 0; ok && i < count; i++) {
            const ExtensionBlock &b = blocks[i];
            if (b.Function != CONTINUE_EXT_FUNC_CODE) {
                if (i > 0) ok = EGifPutExtensionTrailer(out) == GIF_OK;
                ok = ok && EGifPutExtensionLeader(out, b.Function) == GIF_OK;
            }
            ok = ok && EGifPutExtensionBlock(out, b.ByteCount, b.Bytes) == GIF_OK;
        }
        if (ok && count > 0) ok = EGifPutExtensionTrailer(out) == GIF_OK;
    };
    for (int i = 0; ok && i < in->ImageCount; i++) {
        const SavedImage &img = in->SavedImages[i];
        const GifImageDesc &d = img.ImageDesc;
        put_extensions(img.ExtensionBlockCount, img.ExtensionBlocks);
        ok = ok && EGifPutImageDesc(out, d.Left, d.Top, d.Width, d.Height, d.Interlace,
                                    d.ColorMap) == GIF_OK;
        line.resize(static_cast<size_t>(std::max(d.Width, 1)));
        static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        const int passes = d.Interlace ? 4 : 1;
        for (int p = 0; ok && p < passes; p++) {
            for (int r = d.Interlace ? start[p] : 0; ok && r < d.Height;
                 r += d.Interlace ? step[p] : 1) {
                // giflib masks the line in place; keep the decoded pixels.
                memcpy(line.data(), img.RasterBits + static_cast<size_t>(r) * d.Width, d.Width);
                ok = EGifPutLine(out, line.data(), d.Width) == GIF_OK;
            }
        }
    }
    put_extensions(in->ExtensionBlockCount, in->ExtensionBlocks);
    return EGifCloseFile(out, &err) == GIF_OK && ok;
}

struct Entry {
    std::string name;
    Gif *ours = nullptr;
    GifFileType *peer = nullptr;
    double pixels = 0;
};

}  // namespace

int main(int argc, char **argv) {
    const char *dir = argc > 1 ? argv[1] : GIFQVR_CORPUS_DIR;
    const int rounds = argc > 2 ? atoi(argv[2]) : 15;
    DIR *d = opendir(dir);
    if (!d) {
        fprintf(stderr, "encode_bench: cannot open corpus directory %s\n", dir);
        return 2;
    }
    std::vector<std::string> names;
    while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > 4 && n.compare(n.size() - 4, 4, ".gif") == 0) names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());

    std::vector<Entry> entries;
    for (const std::string &n : names) {
        std::string path = std::string(dir) + "/" + n;
        Entry e;
        e.name = n;
        FILE *f = fopen(path.c_str(), "rb");
        if (!f) continue;
        GifStream s = {};
        s.stream_file = f;
        e.ours = new_gif();
        read_gif(&s, e.ours);
        fclose(f);
        int err = 0;
        e.peer = DGifOpenFileName(path.c_str(), &err);
        if (!e.peer || DGifSlurp(e.peer) != GIF_OK) {
            fprintf(stderr, "encode_bench: giflib cannot read %s, skipped\n", n.c_str());
            if (e.peer) DGifCloseFile(e.peer, &err);
            del_gif(e.ours);
            continue;
        }
        for (int i = 0; i < e.peer->ImageCount; i++)
            e.pixels += static_cast<double>(e.peer->SavedImages[i].ImageDesc.Width) *
                        e.peer->SavedImages[i].ImageDesc.Height;
        entries.push_back(e);
    }
    if (entries.empty()) {
        fprintf(stderr, "encode_bench: no GIF files in %s\n", dir);
        return 2;
    }

    const char *sink = "/dev/null";
    const std::string ours_file = "/tmp/encode_bench_ours.gif";
    const std::string peer_file = "/tmp/encode_bench_giflib.gif";
    std::vector<GifPixelType> line;

    printf("%-28s %10s %10s %10s %7s %10s %10s %7s\n", "file", "pixels", "ours MB/s",
           "giflib MB/s", "speed", "ours B", "giflib B", "size");
    double worst_speed = 1e9, worst_size = 0;
    for (Entry &e : entries) {
        double best_ours = 1e9, best_peer = 1e9;
        for (int r = 0; r < rounds; r++) {
            double t0 = Now();
            WriteOurs(e.ours, sink);
            double t1 = Now();
            WriteGiflib(e.peer, sink, line);
            double t2 = Now();
            best_ours = std::min(best_ours, t1 - t0);
            best_peer = std::min(best_peer, t2 - t1);
        }
        WriteOurs(e.ours, ours_file.c_str());
        WriteGiflib(e.peer, peer_file.c_str(), line);
        long ours_size = FileSize(ours_file.c_str());
        long peer_size = FileSize(peer_file.c_str());
        double ours_mbs = e.pixels / best_ours / 1e6;
        double peer_mbs = e.pixels / best_peer / 1e6;
        double speed = ours_mbs / peer_mbs;
        double size = static_cast<double>(ours_size) / static_cast<double>(peer_size);
        worst_speed = std::min(worst_speed, speed);
        worst_size = std::max(worst_size, size);
        printf("%-28s %10.0f %10.1f %10.1f %6.2fx %10ld %10ld %6.3fx\n", e.name.c_str(),
               e.pixels, ours_mbs, peer_mbs, speed, ours_size, peer_size, size);
    }
    printf("worst speed ratio %.2fx, worst size ratio %.3fx over %zu files\n", worst_speed,
           worst_size, entries.size());
    remove(ours_file.c_str());
    remove(peer_file.c_str());
    for (Entry &e : entries) {
        int err = 0;
        del_gif(e.ours);
        DGifCloseFile(e.peer, &err);
    }
    return 0;
}

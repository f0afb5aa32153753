// giflib's reading of a GIF file, through the native oracle program, so
// that the cross build's tests can ask it too.
#ifndef GIFQVR_TESTS_CODEC_WRITE_GIFLIB_VIEW_H
#define GIFQVR_TESTS_CODEC_WRITE_GIFLIB_VIEW_H

#include <string>
#include <vector>

struct ViewColour {
    int r, g, b;
    bool operator==(const ViewColour &o) const { return r == o.r && g == o.g && b == o.b; }
};

struct GiflibBlock {
    char kind = 0;  // 'X' extension, 'I' image
    int label = 0;
    std::vector<std::string> data;
    int left = 0, top = 0, width = 0, height = 0;
    bool interlace = false, sorted = false;
    int complete = 0;  // rows giflib decoded, in data order
    std::vector<ViewColour> local;
    std::vector<unsigned char> pixels;  // display order, rows back to back
};

struct GiflibFile {
    bool ok = false;  // the oracle ran and its answer was complete
    std::string error;
    std::string header;
    int width = 0, height = 0, color_res = 0, background = 0, aspect = 0;
    bool sorted = false;  // of the global table
    std::vector<ViewColour> global;
    std::vector<GiflibBlock> blocks;
    bool gave_up = false;  // giflib stopped before the trailer

    std::vector<const GiflibBlock *> Images() const;
};

GiflibFile GiflibDecode(const std::string &path);

// The native conformance corpus of files from real encoders, generated once
// per test program into the working directory; sorted full paths.
std::vector<std::string> CorpusFiles();

#endif

// A GIF built the way a host program builds one: free-standing objects of
// the plug-in's classes, hung together and saved with "SaveAsGIFQVR".
#ifndef GIFQVR_CLI_BUILDING_H
#define GIFQVR_CLI_BUILDING_H

#include "cli/session.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

using Table = std::vector<uint32_t>;  // 0xRRGGBB

// The depth of the smallest GIF table (2 to 256 entries) that holds count.
int tableDepth(size_t count);

// A GifPaletteQVR of the colours, padded with black to 2^tableDepth entries.
Value paletteObject(const Table &colours);

// A GIFQVR with header GIF89a and a screen of the size whose global table
// holds the colours.
Value gifObject(int width, int height, const Table &global);

// An extension block of the label with the sub-blocks.
Value extensionBlock(int label, const std::vector<std::string> &subBlocks);

// The sub-block of a graphic control extension; transparent -1 for none.
std::string graphicControl(int disposal, int delay, int transparent);

// The NETSCAPE2.0 extension: play the animation loop times, 0 forever.
Value loopBlock(int loop);

// An image block at (0,0) with one colour index per byte in pixels; local
// may be null for none.
Value imageBlock(int width, int height, const std::string &pixels, const Table *local, bool interlace);

// Saves the GIFQVR object or fails naming the path.
void saveGif(const Value &gif, const std::string &path);

}  // namespace cli

#endif

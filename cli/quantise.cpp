#include "cli/quantise.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace cli {

namespace {

constexpr uint32_t kClear = 0xFF000000u;  // the one transparent colour

uint32_t colourAt(const Rgba &frame, size_t i)
{
    const uint8_t *p = &frame.pixels[i * 4];
    return p[3] < 128 ? kClear : static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}

int part(uint32_t rgb, int channel)
{
    return static_cast<int>(rgb >> (16 - 8 * channel) & 0xFF);
}

struct Entry {
    uint32_t rgb;
    uint64_t count;
};

// Median cut: start with one box holding every colour, and split the box
// whose longest side, times the pixels in it, is largest at the weighted
// median of that side, until there are enough boxes. Each box gives the
// mean of its pixels.
Table medianCut(std::vector<Entry> entries, size_t wanted)
{
    struct Box {
        size_t begin, end;
        uint64_t pixels = 0;
        int axis = 0;
        double spread = 0;  // squared deviations along the axis, summed
    };
    auto measure = [&](size_t begin, size_t end) {
        Box box{begin, end};
        double sum[3] = {0, 0, 0}, squares[3] = {0, 0, 0};
        for (size_t i = begin; i < end; i++) {
            box.pixels += entries[i].count;
            for (int c = 0; c < 3; c++) {
                double v = part(entries[i].rgb, c), n = static_cast<double>(entries[i].count);
                sum[c] += v * n;
                squares[c] += v * v * n;
            }
        }
        for (int c = 0; c < 3; c++) {
            double spread = squares[c] - sum[c] * sum[c] / static_cast<double>(box.pixels);
            if (spread >= box.spread) {
                box.spread = spread;
                box.axis = c;
            }
        }
        return box;
    };
    std::vector<Box> boxes = {measure(0, entries.size())};
    while (boxes.size() < wanted) {
        Box *best = nullptr;
        for (Box &b : boxes)
            if (b.end - b.begin > 1 && (!best || b.spread > best->spread))
                best = &b;
        if (!best)
            break;
        Box box = *best;
        std::sort(entries.begin() + static_cast<std::ptrdiff_t>(box.begin),
                  entries.begin() + static_cast<std::ptrdiff_t>(box.end),
                  [&](const Entry &a, const Entry &b) { return part(a.rgb, box.axis) < part(b.rgb, box.axis); });
        size_t split = box.begin;
        uint64_t below = 0;
        while (split < box.end - 1 && (below + entries[split].count) * 2 <= box.pixels)
            below += entries[split++].count;
        split = std::max(split, box.begin + 1);
        *best = measure(box.begin, split);
        boxes.push_back(measure(split, box.end));
    }
    Table table;
    for (const Box &b : boxes) {
        uint64_t sum[3] = {0, 0, 0};
        for (size_t i = b.begin; i < b.end; i++)
            for (int c = 0; c < 3; c++)
                sum[c] += static_cast<uint64_t>(part(entries[i].rgb, c)) * entries[i].count;
        uint32_t rgb = 0;
        for (int c = 0; c < 3; c++)
            rgb |= static_cast<uint32_t>((sum[c] + b.pixels / 2) / b.pixels) << (16 - 8 * c);
        table.push_back(rgb);
    }
    return table;
}

class Nearest {
public:
    explicit Nearest(const Table &table) : table_(table) {}

    uint8_t operator()(uint32_t rgb)
    {
        auto found = cache_.find(rgb);
        if (found != cache_.end())
            return found->second;
        size_t best = 0;
        int bestDistance = 1 << 30;
        for (size_t i = 0; i < table_.size(); i++) {
            int distance = 0;
            for (int c = 0; c < 3; c++) {
                int d = part(rgb, c) - part(table_[i], c);
                distance += d * d;
            }
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return cache_[rgb] = static_cast<uint8_t>(best);
    }

private:
    const Table &table_;
    std::unordered_map<uint32_t, uint8_t> cache_;
};

// Maps every opaque pixel to its nearest table entry, with dither
// spreading each pixel's error to its neighbours right and below
// (7, 3, 5 and 1 sixteenths). Returns the summed error per channel.
uint64_t reduce(const Rgba &frame, bool dither, Indexed &out)
{
    Nearest nearest(out.table);
    size_t width = static_cast<size_t>(frame.width);
    // Errors in sixteenths, one row and the next, with a spare pixel each side.
    std::vector<int> here((width + 2) * 3, 0), below((width + 2) * 3, 0);
    uint64_t error = 0;
    for (size_t y = 0; y < static_cast<size_t>(frame.height); y++) {
        for (size_t x = 0; x < width; x++) {
            size_t i = y * width + x;
            uint32_t given = colourAt(frame, i);
            if (given == kClear) {
                out.pixels[i] = static_cast<char>(out.transparent);
                continue;
            }
            uint32_t wanted = given;
            if (dither) {
                wanted = 0;
                for (int c = 0; c < 3; c++) {
                    int v = std::clamp(part(given, c) + here[(x + 1) * 3 + c] / 16, 0, 255);
                    wanted |= static_cast<uint32_t>(v) << (16 - 8 * c);
                }
            }
            uint8_t index = nearest(wanted);
            out.pixels[i] = static_cast<char>(index);
            uint32_t chosen = out.table[index];
            for (int c = 0; c < 3; c++) {
                error += static_cast<uint64_t>(std::abs(part(chosen, c) - part(given, c)));
                if (!dither)
                    continue;
                int e = part(wanted, c) - part(chosen, c);
                here[(x + 2) * 3 + c] += e * 7;
                below[x * 3 + c] += e * 3;
                below[(x + 1) * 3 + c] += e * 5;
                below[(x + 2) * 3 + c] += e;
            }
        }
        here.swap(below);
        std::fill(below.begin(), below.end(), 0);
    }
    return error;
}

}  // namespace

Indexed indexColours(const Rgba &frame, bool dither)
{
    Indexed out;
    size_t count = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
    out.pixels.assign(count, '\0');
    std::unordered_map<uint32_t, uint64_t> seen;
    std::vector<uint32_t> order;  // distinct colours as they first appear
    for (size_t i = 0; i < count; i++) {
        uint32_t rgb = colourAt(frame, i);
        if (seen[rgb]++ == 0)
            order.push_back(rgb);
    }
    out.colours = order.size();
    if (order.size() <= 256) {
        std::unordered_map<uint32_t, uint8_t> index;
        for (uint32_t rgb : order) {
            if (rgb == kClear)
                out.transparent = static_cast<int>(out.table.size());
            index[rgb] = static_cast<uint8_t>(out.table.size());
            out.table.push_back(rgb == kClear ? 0 : rgb);
        }
        for (size_t i = 0; i < count; i++)
            out.pixels[i] = static_cast<char>(index[colourAt(frame, i)]);
        return out;
    }
    out.reduced = true;
    std::vector<Entry> entries;
    for (uint32_t rgb : order)
        if (rgb != kClear)
            entries.push_back({rgb, seen[rgb]});
    bool clear = seen.count(kClear) > 0;
    out.table = medianCut(std::move(entries), clear ? 255 : 256);
    if (clear) {
        out.transparent = static_cast<int>(out.table.size());
        out.table.push_back(0);
    }
    uint64_t opaque = count - (clear ? seen[kClear] : 0);
    out.meanError = static_cast<double>(reduce(frame, dither, out)) / (3.0 * static_cast<double>(opaque));
    return out;
}

}  // namespace cli

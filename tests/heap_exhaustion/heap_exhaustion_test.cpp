// A host program's work with the plug-in while memory runs out: reading a
// file into objects and using every part of it, and building a file from
// objects and saving it. Each is run once to count what the plug-in asks
// for (its own allocations, and every value it asks the host to make), then
// again with request n refused, for every n: once only, and from n on.
// Whatever the plug-in gives up, it must not crash, fault the host, keep a
// reference or leak memory.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>

#include "standin_host/standin_host.h"
#include "tests/object_classes/support.h"
#include "tests/support/refusals.h"

extern "C" int __lsan_do_recoverable_leak_check(void) __attribute__((weak));

namespace {

using objtest::Args;
using objtest::GifFile;
using objtest::Image;
using refusals::gRequests;
using refusals::Requests;
using standin::Host;
using standin::Value;

void LoadPluginOnce()
{
    static bool loaded = false;
    if (loaded)
        return;
    Host &host = Host::instance();
    refusals::InstallRefusingServices();
    ASSERT_TRUE(host.loadPlugin(GIFQVR_PLUGIN_FILE));
    loaded = true;
}

class HeapExhaustion : public ::testing::Test {
protected:
    Host &host = Host::instance();

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(LoadPluginOnce());
        host.setJournalling(false);
        start_ = host.snapshot();
        std::string pattern = (std::filesystem::temp_directory_path() / "heap_exhaustion_XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        dir_ = pattern;
    }
    void TearDown() override
    {
        EXPECT_EQ("", host.audit(start_));
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    Value String(const std::string &bytes) { return host.string(bytes, standin::kEncodingRaw); }
    Value Memory(const std::string &bytes) { return host.memoryBlock(bytes); }
    std::string Path(const std::string &name) { return dir_ + "/" + name; }

    // A host program tests for nil before it uses a value: so do these.
    Value get(const Value &object, const char *property)
    {
        return object.isNil() ? Value() : host.get(object, property);
    }
    int32_t count(const Value &object)
    {
        return object.isNil() ? 0 : host.get(object, "Count").asInteger();
    }
    Value call(const Value &object, const char *method, const Args &args = {})
    {
        return object.isNil() ? Value() : host.call(object, method, args);
    }
    void set(const Value &object, const char *property, const Value &value)
    {
        if (!object.isNil())
            host.set(object, property, value);
    }
    static Value Int(int32_t v) { return Value::integer(v); }

    // Runs the work unrefused, when it must reopen a file of `blocks`
    // blocks, then with each request refused in turn; after every run the
    // host must be as it was and without faults.
    void Exhaust(int32_t blocks, const std::function<int32_t()> &work)
    {
        gRequests = Requests();
        gRequests.armed = true;
        int32_t reopened = 0;
        ASSERT_NO_FATAL_FAILURE(Check(work, "nothing", &reopened));
        EXPECT_EQ(blocks, reopened) << "blocks of the saved file, unrefused";
        const long total = gRequests.made;
        ASSERT_GT(total, 30) << "the work should ask for memory";
        for (int forGood = 0; forGood < 2; forGood++) {
            for (long n = 1; n <= total; n++) {
                gRequests = Requests();
                gRequests.armed = true;
                gRequests.forGood = forGood != 0;
                gRequests.failAt = n;
                ASSERT_NO_FATAL_FAILURE(
                    Check(work, (forGood ? "every request from " : "request ") + std::to_string(n)));
                ASSERT_GT(gRequests.refused, 0) << "request " << n << " was never made";
            }
        }
        gRequests = Requests();
        if (__lsan_do_recoverable_leak_check) {
            EXPECT_EQ(0, __lsan_do_recoverable_leak_check()) << "memory leaked";
        }
    }

    void Check(const std::function<int32_t()> &work, const std::string &what, int32_t *reopened = nullptr)
    {
        standin::Snapshot before = host.snapshot();
        const int32_t blocks = work();
        if (reopened)
            *reopened = blocks;
        gRequests.armed = false;
        host.verify();
        std::string changes = host.audit(before);
        ASSERT_EQ("", changes) << "with " << what << " refused";
    }

    // Every part of a loaded file, as a viewer and an editor would use it.
    void UseEverything(const Value &gif)
    {
        Value screen = get(gif, "Screen");
        get(screen, "Width");
        Value palette = get(screen, "Palette");
        if (count(palette) > 1)
            call(palette, "Value", {Int(1)});
        const int32_t blocks = count(gif);
        for (int32_t i = 0; i < blocks; i++) {
            Value block = call(gif, "Block", {Int(i)});
            Value extension = get(block, "Extension");
            const int32_t data = count(extension);
            for (int32_t j = 0; j < data; j++) {
                Value item = call(extension, "Data", {Int(j)});
                get(item, "DataString");
                get(item, "DataMemory");
            }
            Value picture = get(block, "Picture");
            get(get(picture, "Palette"), "Count");
            get(picture, "Data");
            call(picture, "PixelData", {Int(0)});
            call(picture, "MakePicture");
            call(picture, "MakeMask");
            call(picture, "MakeMask", {Int(1)});
        }
        call(gif, "MakeFirstPicture");
        call(gif, "MakeFirstMask");
        call(gif, "MakeFirstPictureWithMask");
    }

    // Prints and saves the file, then opens what was saved: its blocks.
    int32_t SaveAndReopen(const Value &gif)
    {
        const std::string saved = Path("saved.gif"), printed = Path("printed.txt");
        std::error_code ignored;
        std::filesystem::remove(saved, ignored);
        call(gif, "Print", {host.folderItem(printed)});
        if (gif.isNil())
            return 0;
        Value item = host.folderItem(saved);
        host.callFolderItem(item, "SaveAsGIFQVR", {gif});
        Value again = host.callFolderItem(item, "OpenAsGIFQVR");
        get(again, "Header");
        return count(again);
    }

private:
    standin::Snapshot start_;
    std::string dir_;
};

// Two images (one interlaced with its own table), a transparency control,
// a comment in two parts and an application block.
std::string SampleFile()
{
    Image framed{1, 2, 5, 9, true, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080, 0x101010, 0xABCDEF}, {}};
    for (int i = 0; i < 5 * 9; i++)
        framed.pixels.push_back(static_cast<uint8_t>(i * 7 % 8));
    Image plain{0, 0, 4, 3, false, {}, {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2}};
    return GifFile(8, 12, {0x112233, 0x445566, 0x778899, 0xAABBCC})
        .extension(0xFF, {"NETSCAPE2.0", std::string("\x01\x00\x00", 3)})
        .extension(0xF9, {std::string("\x01\x00\x00\x01", 4)})
        .image(framed)
        .extension(0xFE, {"first part", "second part"})
        .image(plain)
        .bytes();
}

TEST_F(HeapExhaustion, ReadingAFileAndUsingEveryPart)
{
    const std::string bytes = SampleFile();
    Exhaust(5, [&] {
        Value text = String(bytes);
        Value gif = host.callGlobal("GifStringToGifQVR", {text});
        UseEverything(gif);
        host.callGlobal("GifStringToPictureQVR", {text});
        return SaveAndReopen(gif);
    });
}

TEST_F(HeapExhaustion, BuildingAFileAndSavingIt)
{
    Exhaust(2, [&] {
        Value gif = host.newInstance("GIFQVR");
        set(gif, "Header", String("GIF89a"));
        Value screen = host.newInstance("GifScreenQVR");
        set(screen, "Width", Int(6));
        set(screen, "Height", Int(4));
        Value palette = host.newInstance("GifPaletteQVR");
        set(palette, "Count", Int(4));
        for (int i = 0; i < 4; i++)
            host.assign(palette, "Value", {Int(i)}, Value::color(0x102030u * static_cast<uint32_t>(i)));
        set(screen, "Palette", palette);
        set(gif, "Screen", screen);

        Value note = host.newInstance("GifBlockQVR");
        set(note, "Intro", Int(0x21));
        Value extension = host.newInstance("GifExtensionQVR");
        set(extension, "Marker", Int(0xFE));
        for (const char *part : {"made", "here"}) {
            Value data = host.newInstance("GifDataQVR");
            set(data, "DataString", String(part));
            call(extension, "Add", {data});
        }
        set(note, "Extension", extension);
        call(gif, "Add", {note});

        Value frame = host.newInstance("GifBlockQVR");
        set(frame, "Intro", Int(0x2C));
        Value picture = host.newInstance("GifPictureQVR");
        set(picture, "Width", Int(6));
        set(picture, "Height", Int(4));
        set(picture, "Interlace", Value::boolean(true));
        std::string pixels;
        for (int i = 0; i < 6 * 4; i++)
            pixels += static_cast<char>(i % 4);
        set(picture, "Data", Memory(pixels));
        set(frame, "Picture", picture);
        call(gif, "Add", {frame});

        UseEverything(gif);
        return SaveAndReopen(gif);
    });
}

}  // namespace

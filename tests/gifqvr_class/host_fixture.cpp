#include "tests/gifqvr_class/host_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace fixture {

namespace {

REALobject refusingNewInstance(const char *className)
{
    if (className && refusedClasses().count(className))
        return nullptr;
    auto real = reinterpret_cast<standin::PluginNewInstanceProc>(Host::instance().service("PluginNewInstance"));
    return real(className);
}

template <typename Proc>
Proc hostService(const char *name)
{
    return reinterpret_cast<Proc>(Host::instance().service(name));
}

REALpicture gappedMask(REALpicture picture, uint8_t create)
{
    if (pictureGaps().noMask)
        return nullptr;
    return hostService<standin::REALGetPictureMaskProc>("REALGetPictureMask")(picture, create);
}

REALgraphics gappedGraphics(REALpicture picture)
{
    if (pictureGaps().noGraphics)
        return nullptr;
    return hostService<standin::pluginPictureGraphicsGetterProc>("pluginPictureGraphicsGetter")(picture);
}

void *gappedMethod(REALobject object, const char *declaration)
{
    if (pictureGaps().noDrawPicture)
        return nullptr;
    return hostService<standin::REALLoadObjectMethodProc>("REALLoadObjectMethod")(object, declaration);
}

} // namespace

PictureGaps &pictureGaps()
{
    static PictureGaps gaps;
    return gaps;
}

std::set<std::string> &refusedClasses()
{
    static std::set<std::string> names;
    return names;
}

std::string HostTest::pluginPath()
{
    return GIFQVR_PLUGIN_FILE;
}

void HostTest::SetUpTestSuite()
{
    static bool loaded = false;
    if (loaded)
        return;
    Host &host = Host::instance();
    // Before loading, so the plug-in's service slot keeps the switch.
    host.replace("PluginNewInstance", reinterpret_cast<void *>(&refusingNewInstance));
    host.replace("REALGetPictureMask", reinterpret_cast<void *>(&gappedMask));
    host.replace("pluginPictureGraphicsGetter", reinterpret_cast<void *>(&gappedGraphics));
    host.replace("REALLoadObjectMethod", reinterpret_cast<void *>(&gappedMethod));
    ASSERT_TRUE(host.loadPlugin(pluginPath()));
    ASSERT_TRUE(host.errors().empty());
    loaded = true;
}

void HostTest::SetUp()
{
    refusedClasses().clear();
    pictureGaps() = PictureGaps();
    host.takeErrors();
    start = host.snapshot();
}

void HostTest::TearDown()
{
    refusedClasses().clear();
    pictureGaps() = PictureGaps();
    EXPECT_EQ("", host.audit(start));
    if (!dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
}

std::string HostTest::scratch(const std::string &name)
{
    if (dir_.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "gifqvr_class_XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
    }
    return dir_ + "/" + name;
}

Shot HostTest::take(Value &picture)
{
    Shot shot;
    if (!picture.isNil()) {
        EXPECT_EQ(Kind::Picture, picture.kind());
        // Only the caller holds the picture.
        EXPECT_EQ(1, host.references(picture.handle()));
        shot.nil = false;
        shot.width = host.width(picture);
        shot.height = host.height(picture);
        shot.rgb = host.pixels(picture);
        shot.hasMask = host.hasMask(picture);
        if (shot.hasMask)
            shot.mask = host.maskPixels(picture);
    }
    picture.release();
    return shot;
}

Shot HostTest::pictureCall(const Value &object, const std::string &method)
{
    Snapshot before = host.snapshot();
    Value picture = host.call(object, method);
    Shot shot = take(picture);
    expectBalanced(before);
    return shot;
}

Shot HostTest::globalPicture(const std::string &bytes)
{
    Value data = bytesString(bytes);
    Snapshot before = host.snapshot();
    Value picture = host.callGlobal("GifStringToPictureQVR(data as string) as Picture", {data});
    Shot shot = take(picture);
    expectBalanced(before);
    return shot;
}

Value HostTest::load(const std::string &bytes)
{
    Value data = bytesString(bytes);
    Snapshot before = host.snapshot();
    Value gif = host.callGlobal("GifStringToGifQVR(data as string) as GIFQVR", {data});
    if (gif.isNil()) {
        expectBalanced(before);
        return gif;
    }
    EXPECT_EQ("GIFQVR", host.className(gif));
    std::string changes = host.changesSince(before);
    EXPECT_EQ(1, std::count(changes.begin(), changes.end(), '\n')) << changes;
    EXPECT_NE(std::string::npos, changes.find("new, 1 references")) << changes;
    EXPECT_TRUE(host.errors().empty());
    return gif;
}

ViewFields HostTest::view(const Value &object) const
{
    return *static_cast<const ViewFields *>(host.instanceData(object));
}

} // namespace fixture

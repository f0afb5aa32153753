#include "fixture.h"

#include <cstring>

namespace {

using PictureTest = HostTest;

uint32_t rgb(int r, int g, int b)
{
    return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}

TEST_F(PictureTest, BuildFromBufferCopiesRowsByTheirStride)
{
    Value c = host.newInstance("FakeCounter");
    Value pic = host.call(c, "MakePicture", {Value::integer(4), Value::integer(3)});
    ASSERT_FALSE(pic.isNil());
    EXPECT_EQ(host.width(pic), 4);
    EXPECT_EQ(host.height(pic), 3);
    EXPECT_FALSE(host.hasMask(pic));
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(host.pixel(pic, x, y), rgb(x * 10, y * 10, 7)) << x << "," << y;
    EXPECT_EQ(host.pixels(pic).size(), 4u * 3u * 3u);
    EXPECT_EQ(host.references(pic.handle()), 1);
    EXPECT_THROW(host.pixel(pic, 4, 0), HostError);
}

TEST_F(PictureTest, BuildFromBufferRefusesWhatItCannotRead)
{
    auto build = service<REALBuildPictureFromBufferProc>("REALBuildPictureFromBuffer");
    unsigned char pixels[12] = {};
    EXPECT_EQ(build(0, 1, 1, pixels, 3), nullptr);
    EXPECT_EQ(build(1, -1, 1, pixels, 3), nullptr);
    EXPECT_TRUE(host.errors().empty());
    EXPECT_EQ(build(1, 1, 2, pixels, 3), nullptr);
    EXPECT_TRUE(tookError("pixel type 2"));
    EXPECT_EQ(build(2, 1, 1, pixels, 5), nullptr);
    EXPECT_TRUE(tookError("bytes per row"));
    EXPECT_EQ(build(1, 1, 1, nullptr, 3), nullptr);
    EXPECT_TRUE(tookError("no pixels"));
    EXPECT_EQ(build(65535, 65535, 1, pixels, 65535 * 3), nullptr);

    host.clearJournal();
    Value one = Value::adopt(Kind::Picture, build(1, 1, 1, pixels, 3));
    ASSERT_FALSE(one.isNil());
    ASSERT_EQ(host.journal().size(), 1u);
    EXPECT_EQ(host.journal()[0].numbers, (std::vector<int64_t>{1, 1, 1, 3}));
}

TEST_F(PictureTest, TheMaskIsMadeOnlyWhenAskedAndStartsOpaque)
{
    auto getMask = service<REALGetPictureMaskProc>("REALGetPictureMask");
    Value pic = host.picture(3, 2, 0x102030);
    // A plug-in of this interface always asks with 1; any other flag is
    // reported, and answered as asked.
    EXPECT_EQ(getMask(pic.picture(), 0), nullptr);
    EXPECT_TRUE(tookError("REALGetPictureMask: create flag 0, not 1"));
    EXPECT_FALSE(host.hasMask(pic));
    EXPECT_TRUE(host.mask(pic, false).isNil());

    Value mask = Value::adopt(Kind::Picture, getMask(pic.picture(), 1));
    ASSERT_FALSE(mask.isNil());
    EXPECT_TRUE(host.hasMask(pic));
    EXPECT_EQ(host.width(mask), 3);
    EXPECT_EQ(host.height(mask), 2);
    for (uint8_t byte : host.maskPixels(pic))
        EXPECT_EQ(byte, 0);
    // The picture holds one reference, the caller the other.
    EXPECT_EQ(host.references(mask.handle()), 2);

    Value again = Value::adopt(Kind::Picture, getMask(pic.picture(), 2));
    EXPECT_TRUE(tookError("create flag 2, not 1"));
    EXPECT_EQ(again.handle(), mask.handle());
    EXPECT_EQ(host.references(mask.handle()), 3);
    EXPECT_EQ(host.mask(pic, false).handle(), mask.handle());
    EXPECT_TRUE(host.errors().empty());
    again.release();
    mask.release();

    void *maskHandle = host.mask(pic, false).handle();
    EXPECT_EQ(host.references(maskHandle), 1);
    pic.release();
    EXPECT_FALSE(host.alive(maskHandle));
}

DrawPictureProc drawPictureOf(Host &host, const Value &graphics)
{
    auto load = reinterpret_cast<REALLoadObjectMethodProc>(host.service("REALLoadObjectMethod"));
    return reinterpret_cast<DrawPictureProc>(
        load(reinterpret_cast<REALobject>(graphics.handle()), standin::kDrawPictureDeclaration));
}

TEST_F(PictureTest, DrawPictureIsFoundOnlyByItsExactDeclaration)
{
    auto load = service<REALLoadObjectMethodProc>("REALLoadObjectMethod");
    Value pic = host.picture(2, 2);
    Value g = host.graphics(pic);
    REALobject graphicsObject = reinterpret_cast<REALobject>(g.handle());
    EXPECT_NE(load(graphicsObject, standin::kDrawPictureDeclaration), nullptr);
    EXPECT_EQ(load(graphicsObject, "DrawPicture(p as Picture, x as Integer, y as Integer, dw as Integer, dh as "
                                   "Integer, sx as Integer, sy as Integer, sw as Integer, sh as Integer)"),
              nullptr);
    EXPECT_EQ(load(graphicsObject, "DrawPicture"), nullptr);
    // A picture is not a graphics object.
    EXPECT_EQ(load(reinterpret_cast<REALobject>(pic.handle()), standin::kDrawPictureDeclaration), nullptr);
    EXPECT_TRUE(host.errors().empty());
    EXPECT_EQ(load(nullptr, standin::kDrawPictureDeclaration), nullptr);
    EXPECT_TRUE(tookError("REALLoadObjectMethod"));

    // Methods of registered classes are found by their declaration too.
    Value c = host.newInstance("FakeCounter");
    EXPECT_EQ(load(c.object(), "Add(amount as integer) as integer"), FakeCounterClass.methods[0].function);
    EXPECT_EQ(load(c.object(), "Add"), nullptr);
}

TEST_F(PictureTest, DrawPictureCopiesPixelsUnscaledAndClips)
{
    Value source = host.picture(4, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            host.setPixel(source, x, y, rgb(x, y, 200));
    Value target = host.picture(5, 5, 0x000000);
    Value g = host.graphics(target);
    EXPECT_EQ(host.references(target.handle()), 2);
    DrawPictureProc draw = drawPictureOf(host, g);
    ASSERT_NE(draw, nullptr);

    // Source rectangle (1,1)-(3,3) to (2,0).
    draw(g.graphics(), source.picture(), 2, 0, 2, 2, 1, 1, 2, 2);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 5; x++) {
            uint32_t want = (x >= 2 && x < 4 && y < 2) ? rgb(x - 1, y + 1, 200) : 0;
            EXPECT_EQ(host.pixel(target, x, y), want) << x << "," << y;
        }

    // Partly outside the target: the rest is clipped.
    draw(g.graphics(), source.picture(), 3, 3, 4, 4, 0, 0, 4, 4);
    EXPECT_EQ(host.pixel(target, 3, 3), rgb(0, 0, 200));
    EXPECT_EQ(host.pixel(target, 4, 4), rgb(1, 1, 200));
    EXPECT_EQ(host.pixel(source, 0, 0), rgb(0, 0, 200));

    // Doubling scales by nearest neighbour.
    Value big = host.picture(8, 8, 0);
    Value bg = host.graphics(big);
    draw(bg.graphics(), source.picture(), 0, 0, 8, 8, 0, 0, 4, 4);
    EXPECT_EQ(host.pixel(big, 7, 7), rgb(3, 3, 200));
    EXPECT_EQ(host.pixel(big, 2, 5), rgb(1, 2, 200));

    draw(g.graphics(), nullptr, 0, 0, 1, 1, 0, 0, 1, 1);
    EXPECT_TRUE(tookError("DrawPicture"));
}

TEST_F(PictureTest, DrawingIntoAMaskSetsThePicturesTransparency)
{
    Value pic = host.picture(3, 1, 0x336699);
    Value maskSource = host.picture(3, 1, 0x000000);
    host.setPixel(maskSource, 1, 0, 0xFFFFFF);
    {
        Value mask = host.mask(pic, true);
        Value g = host.graphics(mask);
        drawPictureOf(host, g)(g.graphics(), maskSource.picture(), 0, 0, 3, 1, 0, 0, 3, 1);
    }
    EXPECT_EQ(host.maskPixel(pic, 0, 0), 0u);
    EXPECT_EQ(host.maskPixel(pic, 1, 0), 0xFFFFFFu);
    EXPECT_EQ(host.pixel(pic, 1, 0), 0x336699u);

    // Drawing the masked picture lets the target show where the mask is white.
    Value target = host.picture(3, 1, 0xFF0000);
    Value tg = host.graphics(target);
    drawPictureOf(host, tg)(tg.graphics(), pic.picture(), 0, 0, 3, 1, 0, 0, 3, 1);
    EXPECT_EQ(host.pixel(target, 0, 0), 0x336699u);
    EXPECT_EQ(host.pixel(target, 1, 0), 0xFF0000u);
}

TEST_F(PictureTest, GraphicsKeepTheirPictureAlive)
{
    Value pic = host.picture(1, 1);
    void *picHandle = pic.handle();
    Value g = host.graphics(pic);
    pic.release();
    EXPECT_TRUE(host.alive(picHandle));
    g.release();
    EXPECT_FALSE(host.alive(picHandle));
}

using MemoryBlockTest = HostTest;

TEST_F(MemoryBlockTest, BlocksAreZeroFilledWritableAndSized)
{
    auto make = service<newMemoryBlockProc>("newMemoryBlock");
    auto ptr = service<memoryBlockGetPtrProc>("memoryBlockGetPtr");
    auto size = service<memoryBlockGetSizeProc>("memoryBlockGetSize");
    Value block = Value::adopt(Kind::MemoryBlock, make(6));
    ASSERT_FALSE(block.isNil());
    EXPECT_EQ(size(block.memoryBlock()), 6);
    auto *bytes = static_cast<unsigned char *>(ptr(block.memoryBlock()));
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(bytes[i], 0);
    std::memcpy(bytes, "gif!89", 6);
    EXPECT_EQ(host.bytes(block), "gif!89");
    EXPECT_EQ(ptr(block.memoryBlock()), bytes);

    Value empty = Value::adopt(Kind::MemoryBlock, make(0));
    EXPECT_FALSE(empty.isNil());
    EXPECT_EQ(size(empty.memoryBlock()), 0);

    EXPECT_EQ(make(-1), nullptr);
    EXPECT_TRUE(tookError("negative size"));
    Value s = host.string("not a block");
    EXPECT_EQ(ptr(reinterpret_cast<REALmemoryBlock>(s.handle())), nullptr);
    EXPECT_EQ(size(reinterpret_cast<REALmemoryBlock>(s.handle())), 0);
    EXPECT_EQ(host.takeErrors().size(), 2u);
}

using FolderItemTest = HostTest;

TEST_F(FolderItemTest, PathsAreFullAndComeAsNewStrings)
{
    auto pathOf = service<REALpathFromFolderItemProc>("REALpathFromFolderItem");
    Value item = host.folderItem("/tmp/../tmp/some file.gif");
    EXPECT_EQ(host.path(item), "/tmp/some file.gif");
    Value path = Value::adopt(Kind::String, pathOf(item.folderItem()));
    ASSERT_FALSE(path.isNil());
    EXPECT_EQ(host.text(path), "/tmp/some file.gif");
    EXPECT_EQ(host.encoding(path), standin::kEncodingUTF8);
    EXPECT_EQ(host.references(path.handle()), 1);
    Value second = Value::adopt(Kind::String, pathOf(item.folderItem()));
    EXPECT_NE(second.handle(), path.handle());

    Value relative = host.folderItem("relative.gif");
    EXPECT_EQ(host.path(relative).front(), '/');
    EXPECT_EQ(pathOf(nullptr), nullptr);
    EXPECT_TRUE(tookError("REALpathFromFolderItem: nil"));
}

} // namespace

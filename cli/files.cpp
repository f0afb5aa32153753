#include "cli/files.h"

#include "cli/session.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

std::string errnoText(int error)
{
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

std::string readBytes(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        fail(kBadFile, path + ": " + errnoText(errno));
    if (S_ISDIR(st.st_mode))
        fail(kBadFile, path + ": is a directory");
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        fail(kBadFile, path + ": " + errnoText(errno));
    std::string bytes;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    int error = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (error)
        fail(kBadFile, path + ": " + errnoText(error));
    return bytes;
}

void refuseToOverwrite(const std::string &input, const std::string &output)
{
    struct stat in, out;
    if (stat(input.c_str(), &in) == 0 && stat(output.c_str(), &out) == 0 && in.st_dev == out.st_dev &&
        in.st_ino == out.st_ino)
        fail(kBadFile, output + ": is the input file; refusing to overwrite it");
}

std::string whyNotWritable(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return "is a directory";
        if (access(path.c_str(), W_OK) != 0)
            return errnoText(errno);
        return "cannot be opened for writing";
    }
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty())
        parent = ".";
    if (stat(parent.c_str(), &st) != 0)
        return "cannot create it: " + parent.string() + ": " + errnoText(errno);
    if (!S_ISDIR(st.st_mode))
        return "cannot create it: " + parent.string() + " is not a directory";
    if (access(parent.c_str(), W_OK) != 0)
        return "cannot create it: " + parent.string() + ": " + errnoText(errno);
    return "cannot be opened for writing";
}

void makeDirectory(const std::string &dir)
{
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
            fail(kBadFile, dir + ": exists and is not a directory");
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        fail(kBadFile, dir + ": cannot create the directory: " + ec.message());
}

std::string framePath(const std::string &dir, int n)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame-%03d.png", n);
    return (std::filesystem::path(dir) / name).string();
}

uint64_t fileSize(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

}  // namespace cli

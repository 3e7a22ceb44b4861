// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSource.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace tunewright::cli
{

FileSource::FileSource (const std::string& path)
{
    std::error_code ec;

    // fopen succeeds on a directory on some systems; its "length" means nothing.
    if (std::filesystem::is_directory (path, ec))
    {
        error = "is a directory";
        return;
    }

    file = std::fopen (path.c_str(), "rb");

    if (file == nullptr)
    {
        error = std::strerror (errno);
        return;
    }

    if (std::fseek (file, 0, SEEK_END) == 0)
    {
        const long end = std::ftell (file);
        if (end >= 0 && std::fseek (file, 0, SEEK_SET) == 0)
            size = end;
    }
}

FileSource::~FileSource()
{
    if (file != nullptr)
        std::fclose (file);
}

int64_t FileSource::read (uint8_t* destination, int64_t count)
{
    if (file == nullptr || count <= 0)
        return 0;

    return static_cast<int64_t> (std::fread (destination, 1, static_cast<size_t> (count), file));
}

} // namespace tunewright::cli

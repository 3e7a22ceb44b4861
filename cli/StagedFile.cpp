// SPDX-License-Identifier: GPL-3.0-or-later
#include "StagedFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace tunewright::cli
{

StagedFile::~StagedFile()
{
    discard();
}

void StagedFile::discard() noexcept
{
    if (! temporary.empty())
        std::remove (temporary.c_str());

    temporary.clear();
}

bool StagedFile::stage (const std::string& destination, const uint8_t* data, size_t size, std::string& error)
{
    discard();
    target = destination;

    // Refused now rather than at the rename, when another output may already be in place.
    if (std::error_code ec; std::filesystem::is_directory (destination, ec))
    {
        error = "cannot write " + destination + ": it is a directory";
        return false;
    }

    std::random_device seed;
    std::mt19937 random (seed());
    std::FILE* file = nullptr;

    // "x": never reuse or truncate a file that is already there.
    for (int attempt = 0; attempt < 16 && file == nullptr; ++attempt)
    {
        char suffix[24];
        std::snprintf (suffix, sizeof (suffix), ".tmp-%08x", static_cast<unsigned> (random()));
        temporary = destination + suffix;
        file = std::fopen (temporary.c_str(), "wbx");

        if (file == nullptr && errno != EEXIST)
            break;
    }

    if (file == nullptr)
    {
        error = "cannot write " + destination + ": " + std::strerror (errno);
        temporary.clear();
        return false;
    }

    const bool written = std::fwrite (data, 1, size, file) == size;
    const bool closed = std::fclose (file) == 0;

    if (! written || ! closed)
    {
        error = "cannot write " + target + ": " + std::strerror (errno);
        discard();
        return false;
    }

    return true;
}

bool StagedFile::commit (std::string& error)
{
    std::error_code ec;
    std::filesystem::rename (temporary, target, ec); // replaces an existing file on every platform

    if (ec)
    {
        error = "cannot write " + target + ": " + ec.message();
        discard();
        return false;
    }

    temporary.clear();
    return true;
}

} // namespace tunewright::cli

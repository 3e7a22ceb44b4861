// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "song/SongStore.h"

#include <cstdio>
#include <string>

namespace tunewright::cli
{

// A song file read with the C library; its length is taken when it is opened.
class FileSource : public song::SongSource
{
public:
    explicit FileSource (const std::string& path);
    ~FileSource() override;

    FileSource (const FileSource&) = delete;
    FileSource& operator= (const FileSource&) = delete;

    bool isOpen() const noexcept { return file != nullptr; }
    const std::string& openError() const noexcept { return error; }

    int64_t length() override { return size; }
    int64_t read (uint8_t* destination, int64_t count) override;

private:
    std::FILE* file = nullptr;
    int64_t size = -1;
    std::string error;
};

} // namespace tunewright::cli

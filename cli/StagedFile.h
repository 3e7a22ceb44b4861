// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tunewright::cli
{

// An output written in full to a temporary file beside its destination and
// then renamed over it, so the destination is never seen half-written. A
// staged file that is never committed is removed.
class StagedFile
{
public:
    StagedFile() = default;
    ~StagedFile();

    StagedFile (const StagedFile&) = delete;
    StagedFile& operator= (const StagedFile&) = delete;

    bool stage (const std::string& destination, const uint8_t* data, size_t size, std::string& error);
    bool commit (std::string& error);

private:
    void discard() noexcept;

    std::string target, temporary;
};

} // namespace tunewright::cli

#pragma once

#include <filesystem>

// A new file written under a hidden temporary name beside its final place and moved there only when
// complete, so that a failed or interrupted run never leaves half a file under the real name and an
// existing file is never replaced.
class OutputFile
{
public:
    // Fails when something already exists at `finalPath` or its folder cannot be written.
    explicit OutputFile(std::filesystem::path finalPath);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Where the writer puts the bytes.
    const std::filesystem::path& tempPath() const { return m_temp; }
    const std::filesystem::path& finalPath() const { return m_final; }
    // Moves the finished file to its final name; fails (and keeps nothing) when that name was taken
    // in the meantime.
    void commit();

private:
    std::filesystem::path m_final;
    std::filesystem::path m_temp;
    bool m_committed = false;
};

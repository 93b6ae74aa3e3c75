#include "OutputFile.h"

#include "Failure.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& path)
{
    return "“" + path.string() + "”";
}

} // namespace

OutputFile::OutputFile(fs::path finalPath)
    : m_final(std::move(finalPath))
{
    std::error_code ec;
    if (fs::symlink_status(m_final, ec).type() != fs::file_type::not_found) {
        throw Failure(quoted(m_final) + " already exists, so nothing was written.");
    }
    std::random_device random;
    const fs::path folder = m_final.has_parent_path() ? m_final.parent_path() : fs::path(".");
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path candidate
            = folder / ("." + m_final.filename().string() + "." + std::to_string(random() % 1000000) + ".part");
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            m_temp = candidate;
            return;
        }
        if (errno != EEXIST) {
            throw Failure("Could not write in " + quoted(folder) + ": " + std::strerror(errno) + ".");
        }
    }
    throw Failure("Could not write in " + quoted(folder) + ".");
}

OutputFile::~OutputFile()
{
    if (!m_committed) {
        std::error_code ec;
        fs::remove(m_temp, ec);
    }
}

void OutputFile::commit()
{
    // A hard link fails atomically when the name is taken, which a plain rename would not.
    if (::link(m_temp.c_str(), m_final.c_str()) != 0) {
        const int error = errno;
        if (error == EEXIST) {
            throw Failure(quoted(m_final) + " already exists, so nothing was written.");
        }
        if (::renameat2(AT_FDCWD, m_temp.c_str(), AT_FDCWD, m_final.c_str(), RENAME_NOREPLACE) != 0) {
            throw Failure("Could not write " + quoted(m_final) + ": " + std::strerror(errno) + ".");
        }
        m_committed = true;
        return;
    }
    ::unlink(m_temp.c_str());
    m_committed = true;
}

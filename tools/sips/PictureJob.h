#pragma once

#include "SipsCommand.h"

#include <filesystem>
#include <string>
#include <vips/vips8>

// Carries out one picture-tool command: each input is read, changed by the operations in order and
// written as a new file. Inputs are never written to.
class PictureJob
{
public:
    explicit PictureJob(SipsCommand command);

    // Prints each input's path and, indented, the path written, like the tool it stands in for.
    void run();

private:
    std::filesystem::path outputFor(const std::filesystem::path& input) const;
    vips::VImage load(const std::string& input, size_t& firstOp) const;
    vips::VImage apply(vips::VImage picture, const SipsCommand::Op& op) const;
    vips::VImage deleteProperties(vips::VImage picture) const;
    void save(const vips::VImage& picture, const std::string& format, const std::filesystem::path& path) const;
    std::vector<double> background(const vips::VImage& picture) const;

    SipsCommand m_command;
    bool m_outputIsFolder = false;
};

#pragma once

#include <optional>
#include <string>
#include <vector>

// One picture-tool command line, read into the operations to apply (in the order given), the format
// to write and the files.
struct SipsCommand
{
    enum class OpKind { resampleMax, resampleBoth, resampleWidth, resampleHeight, rotate, flip, crop, pad };

    struct Op
    {
        OpKind kind;
        double a = 0; // the size (height first for two-number options), the angle
        double b = 0;
        bool vertical = false; // for flip
    };

    struct Colour
    {
        int red = 255;
        int green = 255;
        int blue = 255;
    };

    std::vector<Op> ops;
    std::optional<std::string> format; // jpeg, png, heic, tiff, bmp, gif
    std::optional<std::string> formatOptions; // low, normal, high, best, a percentage, lzw, packbits
    std::vector<std::string> deletions; // property names as given
    std::optional<std::pair<int, int>> cropOffset; // y, x from the top left corner
    Colour padColour;
    std::vector<std::string> inputs;
    std::optional<std::string> output;

    // Fails with the sentence to print when an option is unknown, incomplete or out of range.
    static SipsCommand parse(const std::vector<std::string>& args);
};

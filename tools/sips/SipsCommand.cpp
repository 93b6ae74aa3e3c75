#include "SipsCommand.h"

#include "Failure.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>

namespace {

// Larger than any picture people edit, small enough that a typing slip cannot ask for gigabytes.
constexpr double maxSide = 65500;

std::string quoted(const std::string& text)
{
    return "“" + text + "”";
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

double number(const std::string& option, const std::string& text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) {
        throw Failure("The option " + option + " needs a number, not " + quoted(text) + ".");
    }
    return value;
}

double side(const std::string& option, const std::string& text)
{
    const double value = number(option, text);
    if (value < 1 || value > maxSide || value != std::floor(value)) {
        throw Failure("The option " + option + " needs a whole number of pixels from 1 to 65500, not " + quoted(text)
                      + ".");
    }
    return value;
}

SipsCommand::Colour colour(const std::string& text)
{
    std::string hex = text.starts_with('#') ? text.substr(1) : text;
    if (hex.size() != 6 || !std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c); })) {
        throw Failure("The pad colour must be six hexadecimal digits such as FFFFFF, not " + quoted(text) + ".");
    }
    const auto part = [&](int at) { return std::stoi(hex.substr(at, 2), nullptr, 16); };
    return {part(0), part(2), part(4)};
}

void setProperty(SipsCommand& command, const std::string& key, const std::string& value)
{
    static const std::vector<std::string> formats = {"jpeg", "png", "heic", "tiff", "bmp", "gif"};
    if (key == "format") {
        std::string name = lower(value);
        if (name == "jpg") {
            name = "jpeg";
        } else if (name == "heif") {
            name = "heic";
        } else if (name == "tif") {
            name = "tiff";
        }
        if (name == "webp") {
            throw Failure("sips cannot write WebP pictures.");
        }
        if (std::find(formats.begin(), formats.end(), name) == formats.end()) {
            throw Failure("The format " + quoted(value) + " cannot be written; use jpeg, png, heic, tiff, bmp or gif.");
        }
        command.format = name;
    } else if (key == "formatOptions") {
        std::string option = lower(value);
        if (option.ends_with('%')) {
            option.pop_back();
        }
        static const std::vector<std::string> words = {"default", "low", "normal", "high", "best", "lzw", "packbits"};
        if (std::find(words.begin(), words.end(), option) == words.end()) {
            const double percent = number("formatOptions", option);
            if (percent < 0 || percent > 100) {
                throw Failure("The format option " + quoted(value)
                              + " must be low, normal, high, best or a percentage.");
            }
        }
        command.formatOptions = option;
    } else {
        throw Failure("The property " + quoted(key) + " cannot be set; only format and formatOptions can.");
    }
}

} // namespace

SipsCommand SipsCommand::parse(const std::vector<std::string>& args)
{
    // Long and short spellings of every option, with the number of values each takes.
    static const std::map<std::string, std::pair<std::string, int>> options = {
        {"-s", {"--setProperty", 2}},
        {"--setProperty", {"--setProperty", 2}},
        {"-d", {"--deleteProperty", 1}},
        {"--deleteProperty", {"--deleteProperty", 1}},
        {"-Z", {"--resampleHeightWidthMax", 1}},
        {"--resampleHeightWidthMax", {"--resampleHeightWidthMax", 1}},
        {"-z", {"--resampleHeightWidth", 2}},
        {"--resampleHeightWidth", {"--resampleHeightWidth", 2}},
        {"--resampleWidth", {"--resampleWidth", 1}},
        {"--resampleHeight", {"--resampleHeight", 1}},
        {"-r", {"--rotate", 1}},
        {"--rotate", {"--rotate", 1}},
        {"-f", {"--flip", 1}},
        {"--flip", {"--flip", 1}},
        {"-c", {"--cropToHeightWidth", 2}},
        {"--cropToHeightWidth", {"--cropToHeightWidth", 2}},
        {"--cropOffset", {"--cropOffset", 2}},
        {"-p", {"--padToHeightWidth", 2}},
        {"--padToHeightWidth", {"--padToHeightWidth", 2}},
        {"--padColor", {"--padColor", 1}},
        {"-o", {"--out", 1}},
        {"--out", {"--out", 1}},
    };
    SipsCommand command;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg.front() != '-') {
            command.inputs.push_back(arg);
            continue;
        }
        const auto it = options.find(arg);
        if (it == options.end()) {
            throw Failure("Unrecognized option " + quoted(arg) + ".");
        }
        const auto& [name, count] = it->second;
        if (i + count >= args.size()) {
            throw Failure("The option " + arg + " needs " + (count == 1 ? "a value" : "two values") + ".");
        }
        const std::string& v1 = args[i + 1];
        const std::string& v2 = count == 2 ? args[i + 2] : std::string();
        i += count;
        if (name == "--setProperty") {
            setProperty(command, v1, v2);
        } else if (name == "--deleteProperty") {
            command.deletions.push_back(v1);
        } else if (name == "--resampleHeightWidthMax") {
            command.ops.push_back({OpKind::resampleMax, side(arg, v1)});
        } else if (name == "--resampleHeightWidth") {
            command.ops.push_back({OpKind::resampleBoth, side(arg, v1), side(arg, v2)});
        } else if (name == "--resampleWidth") {
            command.ops.push_back({OpKind::resampleWidth, side(arg, v1)});
        } else if (name == "--resampleHeight") {
            command.ops.push_back({OpKind::resampleHeight, side(arg, v1)});
        } else if (name == "--rotate") {
            command.ops.push_back({OpKind::rotate, number(arg, v1)});
        } else if (name == "--flip") {
            const std::string direction = lower(v1);
            if (direction != "horizontal" && direction != "vertical") {
                throw Failure("The option " + arg + " needs horizontal or vertical, not " + quoted(v1) + ".");
            }
            command.ops.push_back({OpKind::flip, 0, 0, direction == "vertical"});
        } else if (name == "--cropToHeightWidth") {
            command.ops.push_back({OpKind::crop, side(arg, v1), side(arg, v2)});
        } else if (name == "--padToHeightWidth") {
            command.ops.push_back({OpKind::pad, side(arg, v1), side(arg, v2)});
        } else if (name == "--cropOffset") {
            const double y = number(arg, v1);
            const double x = number(arg, v2);
            if (y < 0 || x < 0 || y > maxSide || x > maxSide || y != std::floor(y) || x != std::floor(x)) {
                throw Failure("The option --cropOffset needs two whole numbers of pixels from 0 to 65500.");
            }
            command.cropOffset = std::pair(int(y), int(x));
        } else if (name == "--padColor") {
            command.padColour = colour(v1);
        } else if (name == "--out") {
            if (command.output) {
                throw Failure("Give -o only once.");
            }
            command.output = v1;
        }
    }
    if (command.inputs.empty()) {
        throw Failure("No picture was given.");
    }
    if (!command.output) {
        throw Failure("sips never changes the original picture; name the new file or folder with -o.");
    }
    return command;
}

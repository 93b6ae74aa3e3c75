#include "AudioCommand.h"

#include "Failure.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

namespace {

std::string inQuotes(const std::string& text)
{
    return "“" + text + "”";
}

long whole(const std::string& option, const std::string& text, long low, long high)
{
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
        throw Failure("The option " + option + " needs a whole number from " + std::to_string(low) + " to "
                      + std::to_string(high) + ", not " + inQuotes(text) + ".");
    }
    return value;
}

struct FileType
{
    std::string muxer;
    std::string defaultCodec;
    std::set<std::string> codecs;
};

const std::set<std::string> littleEndianPcm
    = {"pcm_s16le", "pcm_s24le", "pcm_s32le", "pcm_f32le", "pcm_f64le", "pcm_u8"};
const std::set<std::string> bigEndianInts = {"pcm_s16be", "pcm_s24be", "pcm_s32be", "pcm_s8"};

std::set<std::string> unite(std::initializer_list<std::set<std::string>> sets)
{
    std::set<std::string> all;
    for (const auto& set : sets) {
        all.insert(set.begin(), set.end());
    }
    return all;
}

const std::map<std::string, FileType>& fileTypes()
{
    static const std::set<std::string> laws = {"pcm_mulaw", "pcm_alaw"};
    static const std::set<std::string> bigFloats = {"pcm_f32be", "pcm_f64be"};
    static const std::map<std::string, FileType> table = {
        {"WAVE", {"wav", "pcm_s16le", unite({littleEndianPcm, laws})}},
        {"AIFF", {"aiff", "pcm_s16be", bigEndianInts}},
        {"AIFC", {"aiff", "pcm_s16be", unite({bigEndianInts, bigFloats, laws})}},
        {"caff", {"caf", "pcm_s16le", unite({littleEndianPcm, bigEndianInts, bigFloats, laws, {"aac", "alac"}})}},
        {"m4af", {"ipod", "aac", {"aac", "alac"}}},
        {"m4bf", {"ipod", "aac", {"aac", "alac"}}},
        {"mp4f", {"mp4", "aac", {"aac", "alac"}}},
        {"adts", {"adts", "aac", {"aac"}}},
        {"flac", {"flac", "flac", {"flac"}}},
    };
    return table;
}

const std::map<std::string, std::string>& dataFormats()
{
    static const std::map<std::string, std::string> table = {
        {"LEI16", "pcm_s16le"}, {"LEI24", "pcm_s24le"}, {"LEI32", "pcm_s32le"}, {"LEF32", "pcm_f32le"},
        {"LEF64", "pcm_f64le"}, {"BEI16", "pcm_s16be"}, {"BEI24", "pcm_s24be"}, {"BEI32", "pcm_s32be"},
        {"BEF32", "pcm_f32be"}, {"BEF64", "pcm_f64be"}, {"UI8", "pcm_u8"},      {"I8", "pcm_s8"},
        {"aac", "aac"},         {"alac", "alac"},       {"flac", "flac"},       {"ulaw", "pcm_mulaw"},
        {"alaw", "pcm_alaw"},
    };
    return table;
}

std::string fileTypeForExtension(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    static const std::map<std::string, std::string> table = {
        {".wav", "WAVE"}, {".aif", "AIFF"}, {".aiff", "AIFF"}, {".aifc", "AIFC"}, {".caf", "caff"},
        {".m4a", "m4af"}, {".m4b", "m4bf"}, {".mp4", "mp4f"},  {".aac", "adts"},  {".flac", "flac"},
    };
    const auto it = table.find(extension);
    if (it == table.end()) {
        throw Failure("The file type for " + inQuotes(path) + " is unknown; name one with -f, such as WAVE or m4af.");
    }
    return it->second;
}

} // namespace

AudioCommand AudioCommand::parse(int argc, char** argv)
{
    AudioCommand command;
    std::vector<std::string> files;
    std::optional<std::string> type;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() < 2 || arg.front() != '-') {
            files.push_back(arg);
            continue;
        }
        if (arg == "-v") {
            command.verbose = true;
            continue;
        }
        static const std::set<std::string> valued = {"-f", "-d", "-b", "-q", "-s", "-c", "-r"};
        if (!valued.contains(arg)) {
            throw Failure("Unrecognized option " + inQuotes(arg) + ".");
        }
        if (i + 1 >= argc) {
            throw Failure("The option " + arg + " needs a value.");
        }
        const std::string value = argv[++i];
        if (arg == "-f") {
            type = value;
        } else if (arg == "-d") {
            command.dataFormat = value;
        } else if (arg == "-b") {
            command.bitRate = whole(arg, value, 8000, 2000000);
        } else if (arg == "-q") {
            command.codecQuality = int(whole(arg, value, 0, 127));
        } else if (arg == "-s") {
            command.strategy = int(whole(arg, value, 0, 3));
        } else if (arg == "-c") {
            command.channels = int(whole(arg, value, 1, 8));
        } else if (arg == "-r") {
            command.converterQuality = int(whole(arg, value, 0, 127));
        }
    }
    if (files.size() != 2) {
        throw Failure("Give exactly one input file and one output file, the output last.");
    }
    command.input = files[0];
    command.output = files[1];

    command.fileType = type.value_or(fileTypeForExtension(command.output));
    const auto typeIt = fileTypes().find(command.fileType);
    if (typeIt == fileTypes().end()) {
        throw Failure("The file type " + inQuotes(command.fileType)
                      + " is not supported; use WAVE, AIFF, AIFC, caff, m4af, m4bf, mp4f, adts or flac.");
    }
    command.muxer = typeIt->second.muxer;
    command.defaultCodec = typeIt->second.defaultCodec;
    if (!command.dataFormat.empty()) {
        // A data format may carry the sample rate: aac@44100.
        std::string name = command.dataFormat;
        if (const size_t at = name.find('@'); at != std::string::npos) {
            command.sampleRate = int(whole("-d", name.substr(at + 1), 8000, 384000));
            name.resize(at);
        }
        while (!name.empty() && name.back() == ' ') {
            name.pop_back();
        }
        const auto formatIt = dataFormats().find(name);
        if (formatIt == dataFormats().end()) {
            throw Failure("The data format " + inQuotes(command.dataFormat) + " is not supported.");
        }
        command.codec = formatIt->second;
        if (!typeIt->second.codecs.contains(command.codec)) {
            throw Failure("The data format " + inQuotes(command.dataFormat) + " cannot be written in a file of type "
                          + inQuotes(command.fileType) + ".");
        }
    }
    return command;
}

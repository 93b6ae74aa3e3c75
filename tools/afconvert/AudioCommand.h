#pragma once

#include <optional>
#include <string>

// One audio-converter command line: the file type and data format to write, the encoder settings
// and the two files.
struct AudioCommand
{
    std::string muxer; // the FFmpeg muxer for the file type
    std::string fileType; // as given (WAVE, m4af, ...), for messages
    std::string codec; // the FFmpeg encoder; empty picks the file type's usual one
    std::string defaultCodec; // the file type's usual encoder, 16-bit for uncompressed types
    std::string dataFormat; // as given, for messages
    int sampleRate = 0; // 0 keeps the input's rate
    long bitRate = 0; // bits per second; 0 leaves the encoder's default
    std::optional<int> codecQuality; // 0 to 127
    std::optional<int> strategy; // 0 constant, 1 average, 2 constrained variable, 3 variable
    int channels = 0; // 0 keeps the input's channels
    std::optional<int> converterQuality; // 0 to 127
    bool verbose = false;
    std::string input;
    std::string output;

    // Fails with the sentence to print when an option is unknown, incomplete or out of range, or the
    // data format cannot go into the file type.
    static AudioCommand parse(int argc, char** argv);
};

#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace mixmidi::test {

Bytes hex(std::string_view text)
{
    Bytes bytes;
    std::string pair;
    for (const char c : text) {
        if (c == ' ' || c == '\n' || c == '\t') {
            continue;
        }
        pair += c;
        if (pair.size() == 2) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
            pair.clear();
        }
    }
    if (!pair.empty()) {
        throw std::invalid_argument("odd number of hex digits");
    }
    return bytes;
}

std::string to_hex(const Bytes& bytes)
{
    std::string text;
    char buffer[4];
    for (const auto byte : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X ", byte);
        text += buffer;
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

std::string on_every_channel(const char* pattern)
{
    std::string events;
    for (int channel = 0; channel < 16; ++channel) {
        char event[64];
        std::snprintf(event, sizeof event, pattern, channel);
        events += event;
        events += ' ';
    }
    return events;
}

std::string repeated(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i) {
        all += text;
    }
    return all;
}

Bytes smf_file(const Bytes& events)
{
    Bytes file = hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B");
    const auto length = static_cast<std::uint32_t>(events.size() + 4);
    for (int shift = 24; shift >= 0; shift -= 8) {
        file.push_back(static_cast<std::uint8_t>((length >> shift) & 0xFF));
    }
    file.insert(file.end(), events.begin(), events.end());
    for (const auto byte : hex("00 FF 2F 00")) {
        file.push_back(byte);
    }
    return file;
}

TempDir::TempDir()
{
    static std::mt19937_64 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate =
            std::filesystem::temp_directory_path() / ("mixmidi-test-" + std::to_string(random() % 1000000000));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate.string();
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::entries() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace mixmidi::test

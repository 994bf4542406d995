// Any bytes through --show. The listing must be valid UTF-8 with no control
// character but the line feeds, and the same on a second run. Where it ends
// in a rebuild line, that line split back into words as a shell would (bare,
// '...' and $'...' words) must, run through the program's own entry point,
// write exactly the standard form of the input. Any crash, sanitizer report
// or hang is a fault too.
#include "cli/driver.h"
#include "platform/text_out.h"
#include "scratch.h"
#include "show/listing.h"
#include "show/rebuild.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

bool safe_to_print(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || (c >= 0x20 && c < 0x7F)) {
            ++i;
            continue;
        }
        std::size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        const auto second = static_cast<unsigned char>(text[i + 1]);
        const bool second_ok = (c == 0xC2)   ? second >= 0xA0 && second <= 0xBF
                               : (c == 0xE0) ? second >= 0xA0 && second <= 0xBF
                               : (c == 0xED) ? second >= 0x80 && second <= 0x9F
                               : (c == 0xF0) ? second >= 0x90 && second <= 0xBF
                               : (c == 0xF4) ? second >= 0x80 && second <= 0x8F
                                             : second >= 0x80 && second <= 0xBF;
        if (!second_ok) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

int hex_value(char c)
{
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
}

// Splits a line into words the way a shell reads the three forms the rebuild
// line uses, joined where they touch: bare text, '...', $'...' with \n, \t,
// \xNN, \' and \\, and the \' between single-quoted parts.
std::vector<std::string> split_words(const std::string& line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        std::string word;
        while (i < line.size() && line[i] != ' ') {
            if (line.compare(i, 2, "$'") == 0) {
                for (i += 2; i < line.size() && line[i] != '\''; ++i) {
                    if (line[i] != '\\') {
                        word += line[i];
                        continue;
                    }
                    const char e = line.at(++i);
                    if (e == 'n') {
                        word += '\n';
                    } else if (e == 't') {
                        word += '\t';
                    } else if (e == 'x') {
                        const int high = hex_value(line.at(i + 1));
                        const int low = hex_value(line.at(i + 2));
                        if (high < 0 || low < 0) {
                            fail("\\x without two hex digits in a $'...' word");
                        }
                        word += static_cast<char>(high * 16 + low);
                        i += 2;
                    } else if (e == '\'' || e == '\\') {
                        word += e;
                    } else {
                        fail("an escape the $'...' form does not use");
                    }
                }
                ++i;
            } else if (line[i] == '\'') {
                const std::size_t end = line.find('\'', i + 1);
                if (end == std::string::npos) {
                    fail("an unclosed single quote");
                }
                word += line.substr(i + 1, end - i - 1);
                i = end + 1;
            } else if (line[i] == '\\') {
                word += line.at(i + 1);
                i += 2;
            } else {
                word += line[i++];
            }
        }
        words.push_back(word);
    }
    return words;
}

std::vector<std::uint8_t> read_all(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string listing_of(std::span<const std::uint8_t> bytes, bool& read_to_end)
{
    std::string text;
    mixmidi::TextOut out(text);
    read_to_end = mixmidi::list_file(bytes, "fuzz.mid", 1 << 20, out);
    out.flush();
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::make_scratch_folder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    bool read_to_end = false;
    const std::string listing = listing_of(bytes, read_to_end);
    if (!safe_to_print(listing)) {
        fail("the listing is not valid UTF-8 without control characters");
    }
    bool again = false;
    if (listing_of(bytes, again) != listing || again != read_to_end) {
        fail("a second listing differs from the first");
    }
    const std::size_t last_start = listing.rfind('\n', listing.size() - 2);
    const std::string last = listing.substr(last_start == std::string::npos ? 0 : last_start + 1);
    if (!read_to_end || !last.starts_with("mixmidi ")) {
        return 0;
    }
    const std::vector<std::string> words = split_words(last.substr(0, last.size() - 1));
    if (words.size() < 3 || words[0] != "mixmidi" || words[1] != "fuzz.mid") {
        fail("the rebuild line does not start with mixmidi and the file name");
    }
    const std::string path = fuzz::scratch_folder + "/fuzz.mid";
    std::vector<const char*> argv = {"mixmidi", path.c_str()};
    for (std::size_t i = 2; i < words.size(); ++i) {
        argv.push_back(words[i].c_str());
    }
    argv.push_back(nullptr);
    std::string out_text;
    std::string err_text;
    mixmidi::TextOut out(out_text);
    mixmidi::TextOut err(err_text);
    ::unlink(path.c_str());
    if (mixmidi::run_command_line(static_cast<int>(argv.size() - 1), argv.data(), out, err) != mixmidi::exit_ok) {
        fail("the rebuild line does not run cleanly");
    }
    if (read_all(path) != mixmidi::standard_form(bytes)) {
        fail("the rebuild line writes other bytes than the standard form of the input");
    }
    return 0;
}

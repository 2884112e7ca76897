// A simulator script comes from a person or a file: any line must split into words without
// fault, the words must read back the same when written out again, and any word that reads as a
// number must be that number.

#include "ScriptWords.h"
#include "WideText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view line(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto words = kivo::split_script_words(line, &error);

    // Written out again (a word in quotes unless it holds a quote itself, which only a word
    // without blanks can), the words split the same and nothing is left open.
    std::string written;
    for (auto& word : words) {
        if (word.find('"') != std::string::npos) {
            if (word.find_first_of(" \t") != std::string::npos || word.front() == '"' || word.front() == '#')
                std::abort();
            written += word + " ";
        } else {
            written += "\"" + word + "\" ";
        }
    }
    std::string again_error;
    if (kivo::split_script_words(written, &again_error) != words || !again_error.empty())
        std::abort();

    for (auto& word : words) {
        if (auto value = kivo::script_number(word)) {
            if (kivo::script_number(std::to_string(*value)) != value)
                std::abort();
        }
    }
    if (kivo::is_script_text(line) && !kivo::is_utf8(line))
        std::abort();
    return 0;
}
